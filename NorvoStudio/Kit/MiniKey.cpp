#include "MiniKey.hpp"

#include "KeyCap.hpp"

#include <QPainter>
#include <QtMath>

namespace norvo {

MiniKey::MiniKey(MiniKeyStyle style, KeyLabel label, QWidget* parent)
    : KeyButton(std::move(label), parent), style_(style) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

MiniKey::MiniKey(const QString& caption, QWidget* parent)
    : MiniKey(MiniKeyStyle{}, KeyLabel::caption(caption), parent) {}

void MiniKey::setLit(bool lit) {
    if (lit == style_.lit) return;
    style_.lit = lit;
    update();
}

QSizeF MiniKey::keySize() const {
    // As placed, else as wide as the widget allows; the hint asks for the caption plus padding.
    if (const auto placed = placedSize()) return {placed->width(), MiniKeyStyle::height};
    const QMargins m = KeyCap::widgetMargins();
    const qreal offered = width() - m.left() - m.right();
    const qreal wanted = label().sizeHint(MiniKeyStyle::font()).width() + 2 * MiniKeyStyle::horizontalPadding;
    return {offered > 0 ? offered : wanted, MiniKeyStyle::height};
}

QSize MiniKey::sizeHint() const {
    const qreal wanted = label().sizeHint(MiniKeyStyle::font()).width() + 2 * MiniKeyStyle::horizontalPadding;
    return QSize(qCeil(wanted), qCeil(MiniKeyStyle::height)).grownBy(KeyCap::widgetMargins());
}

void MiniKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool pressed = isDown();
    const bool enabled = isEnabled();
    const QRectF key = keyRectF();
    const QString state = QStringLiteral("%1|%2|%3|%4,%5 %6x%7|%8")
                              .arg(style_.lit)
                              .arg(pressed)
                              .arg(labelGeneration())
                              .arg(key.x())
                              .arg(key.y())
                              .arg(key.width())
                              .arg(key.height())
                              .arg(enabled);
    picture_.paint(painter, QRectF(rect()), state,
                   [&](QPainter& p) { style_.paint(p, key, pressed, label(), enabled); });
}

}  // namespace norvo
