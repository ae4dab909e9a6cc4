#include "KeyButton.hpp"

#include "KeyCap.hpp"

#include <QtMath>

namespace norvo {

KeyButton::KeyButton(KeyLabel label, QWidget* parent) : QAbstractButton(parent), label_(std::move(label)) {
    // Hardware keys are played with the pointer; keyboard shortcuts are the faces' business.
    setFocusPolicy(Qt::NoFocus);
    setText(label_.text);
}

void KeyButton::setLabel(KeyLabel label) {
    label_ = std::move(label);
    ++labelGeneration_;
    setText(label_.text);
    updateGeometry();
    update();
}

std::optional<QSizeF> KeyButton::placedSize() const {
    // A layout that resized the widget since offers its own width.
    if (placed_.isEmpty() || size() != placedFor_) return std::nullopt;
    return placed_.size();
}

QRectF KeyButton::keyRectF() const {
    const QMargins m = KeyCap::widgetMargins();
    const QPointF origin = placedSize() ? placed_.topLeft() : QPointF(m.left(), m.top());
    return QRectF(origin, keySize());
}

void KeyButton::setKeyGeometry(const QRectF& keyRect) {
    const QRect covered = keyRect.toAlignedRect().marginsAdded(KeyCap::widgetMargins());
    placed_ = keyRect.translated(-QPointF(covered.topLeft()));
    placedFor_ = covered.size();
    setGeometry(covered);
}

QSize KeyButton::sizeHint() const {
    const QSizeF key = keySize();
    return QSize(qCeil(key.width()), qCeil(key.height())).grownBy(KeyCap::widgetMargins());
}

bool KeyButton::hitButton(const QPoint& pos) const { return keyRect().contains(pos); }

}  // namespace norvo
