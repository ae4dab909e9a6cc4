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

QRect KeyButton::keyRect() const {
    const QMargins m = KeyCap::widgetMargins();
    const QSizeF key = keySize();
    return QRect(m.left(), m.top(), qCeil(key.width()), qCeil(key.height()));
}

void KeyButton::setKeyGeometry(const QRect& keyRect) { setGeometry(keyRect.marginsAdded(KeyCap::widgetMargins())); }

QSize KeyButton::sizeHint() const {
    const QSizeF key = keySize();
    return QSize(qCeil(key.width()), qCeil(key.height())).grownBy(KeyCap::widgetMargins());
}

bool KeyButton::hitButton(const QPoint& pos) const { return keyRect().contains(pos); }

}  // namespace norvo
