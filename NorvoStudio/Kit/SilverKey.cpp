#include "SilverKey.hpp"

#include <QPainter>

namespace norvo {

SilverKey::SilverKey(SilverKeyStyle style, KeyLabel label, QWidget* parent)
    : KeyButton(std::move(label), parent), style_(style) {
    if (!this->label().font && !this->label().custom) {
        KeyLabel withFont = this->label();
        withFont.font = SilverKeyStyle::font();
        setLabelQuietly(std::move(withFont));
    }
}

void SilverKey::setKeyStyle(const SilverKeyStyle& style) {
    const bool resized = style.width != style_.width;
    style_ = style;
    if (resized) updateGeometry();
    update();
}

void SilverKey::setLit(bool lit) {
    if (lit == style_.lit) return;
    style_.lit = lit;
    update();
}

void SilverKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool pressed = isDown();
    const bool enabled = isEnabled();
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(style_.width)
                            .arg(style_.lit)
                            .arg(pressed)
                            .arg(labelGeneration())
                            .arg(enabled);
    picture_.paint(painter, QRectF(rect()), key,
                   [&](QPainter& p) { style_.paint(p, keyRect().topLeft(), pressed, label(), enabled); });
}

}  // namespace norvo
