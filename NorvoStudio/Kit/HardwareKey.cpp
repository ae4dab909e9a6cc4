#include "HardwareKey.hpp"

#include <QEasingCurve>
#include <QPainter>
#include <QVariantAnimation>

namespace norvo {

HardwareKey::HardwareKey(HardwareKeyStyle style, KeyLabel label, QWidget* parent)
    : KeyButton(std::move(label), parent), style_(std::move(style)), animation_(new QVariantAnimation(this)) {
    depth_ = style_.latched ? 1.0 : 0.0;
    lastDown_ = style_.latched;
    animation_->setDuration(KeyCap::animationMilliseconds);
    animation_->setEasingCurve(QEasingCurve::OutQuad);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        depth_ = v.toReal();
        update();
    });
    connect(this, &QAbstractButton::pressed, this, &HardwareKey::followDown);
    connect(this, &QAbstractButton::released, this, &HardwareKey::followDown);
}

void HardwareKey::setKeyStyle(const HardwareKeyStyle& style) {
    const bool resized = style.width != style_.width || style.height != style_.height;
    style_ = style;
    if (resized) updateGeometry();
    followDown();
    update();
}

void HardwareKey::setLatched(bool latched) {
    if (latched == style_.latched) return;
    style_.latched = latched;
    followDown();
}

void HardwareKey::setAccent(std::optional<QColor> accent) {
    if (accent == style_.accent) return;
    style_.accent = accent;
    update();
}

void HardwareKey::followDown() {
    const bool down = drawnDown();
    if (down == lastDown_) return;
    const qreal from = animation_->state() == QAbstractAnimation::Running ? depth_ : (lastDown_ ? 1.0 : 0.0);
    lastDown_ = down;
    animation_->stop();
    depth_ = from;
    if (!isVisible()) return;  // nothing to see move: the look settles at once
    animation_->setStartValue(from);
    animation_->setEndValue(down ? 1.0 : 0.0);
    animation_->start();
}

qreal HardwareKey::depth() const {
    // Between animations the look follows the state itself (setDown() does not announce).
    if (animation_->state() == QAbstractAnimation::Running) return depth_;
    return drawnDown() ? 1.0 : 0.0;
}

void HardwareKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool down = drawnDown();
    const qreal pressed = depth();
    const bool enabled = isEnabled();
    const QString key = QStringLiteral("%1|%2|%3|%4x%5|%6|%7|%8")
                            .arg(down)
                            .arg(style_.latched)
                            .arg(style_.accent ? style_.accent->rgba() : 0u)
                            .arg(style_.width)
                            .arg(style_.height)
                            .arg(pressed)
                            .arg(labelGeneration())
                            .arg(enabled);
    picture_.paint(painter, QRectF(rect()), key,
                   [&](QPainter& p) { style_.keyCap(down, label(), enabled).paint(p, keyRect().topLeft(), pressed); });
}

void HardwareKey::changeEvent(QEvent* event) {
    KeyButton::changeEvent(event);
    followDown();
}

void HardwareKey::mousePressEvent(QMouseEvent* event) {
    KeyButton::mousePressEvent(event);
    followDown();
}

void HardwareKey::mouseReleaseEvent(QMouseEvent* event) {
    KeyButton::mouseReleaseEvent(event);
    followDown();
}

void HardwareKey::mouseMoveEvent(QMouseEvent* event) {
    KeyButton::mouseMoveEvent(event);
    followDown();
}

void HardwareKey::keyPressEvent(QKeyEvent* event) {
    KeyButton::keyPressEvent(event);
    followDown();
}

void HardwareKey::keyReleaseEvent(QKeyEvent* event) {
    KeyButton::keyReleaseEvent(event);
    followDown();
}

void HardwareKey::focusOutEvent(QFocusEvent* event) {
    KeyButton::focusOutEvent(event);
    followDown();
}

}  // namespace norvo
