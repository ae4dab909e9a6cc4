#pragma once
#include "KeyButton.hpp"
#include "KitPicture.hpp"
#include "MiniKeyStyle.hpp"

namespace norvo {

// A button drawn in MiniKeyStyle: 20 high, it takes the width its layout offers (its size
// policy expands horizontally); setKeyGeometry() gives it an exact width.
class MiniKey : public KeyButton {
    Q_OBJECT
public:
    MiniKey(MiniKeyStyle style, KeyLabel label, QWidget* parent = nullptr);
    // The common case: a text caption on an unlit key.
    explicit MiniKey(const QString& caption, QWidget* parent = nullptr);

    const MiniKeyStyle& keyStyle() const { return style_; }
    void setLit(bool lit);
    QSize sizeHint() const override;

protected:
    QSizeF keySize() const override;
    void paintEvent(QPaintEvent*) override;

private:
    MiniKeyStyle style_;
    KitPicture picture_;
};

}  // namespace norvo
