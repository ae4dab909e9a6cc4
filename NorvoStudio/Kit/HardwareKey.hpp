#pragma once
#include "HardwareKeyStyle.hpp"
#include "KeyButton.hpp"
#include "KitPicture.hpp"

class QVariantAnimation;

namespace norvo {

// A button drawn in HardwareKeyStyle: down while pressed or latched, sinking in 0.06 s.
// clicked() fires as for any button (also when latched).
class HardwareKey : public KeyButton {
    Q_OBJECT
public:
    HardwareKey(HardwareKeyStyle style, KeyLabel label, QWidget* parent = nullptr);

    const HardwareKeyStyle& keyStyle() const { return style_; }
    void setKeyStyle(const HardwareKeyStyle& style);
    void setLatched(bool latched);
    void setAccent(std::optional<QColor> accent);

    // Whether the key is drawn down now (pressed or latched).
    bool drawnDown() const { return isDown() || style_.latched; }
    // The press depth being drawn, 0 (up) to 1 (down); moves over 0.06 s after a change.
    qreal depth() const;

protected:
    QSizeF keySize() const override { return {style_.width, style_.height}; }
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    void followDown();
    HardwareKeyStyle style_;
    KitPicture picture_;
    qreal depth_ = 0;
    bool lastDown_ = false;  // the look the last change moved to
    QVariantAnimation* animation_;
};

}  // namespace norvo
