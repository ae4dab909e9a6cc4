#pragma once
#include "KeyButton.hpp"
#include "KitPicture.hpp"
#include "SilverKeyStyle.hpp"

namespace norvo {

// A button drawn in SilverKeyStyle (the player's transport and OPEN keys).
class SilverKey : public KeyButton {
    Q_OBJECT
public:
    SilverKey(SilverKeyStyle style, KeyLabel label, QWidget* parent = nullptr);

    const SilverKeyStyle& keyStyle() const { return style_; }
    void setKeyStyle(const SilverKeyStyle& style);
    void setLit(bool lit);

protected:
    QSizeF keySize() const override { return {style_.width, SilverKeyStyle::height}; }
    void paintEvent(QPaintEvent*) override;

private:
    SilverKeyStyle style_;
    KitPicture picture_;
};

}  // namespace norvo
