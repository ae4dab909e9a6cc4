#include "HoldKey.hpp"

#include <QEasingCurve>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <QtMath>

namespace norvo {

HoldKey::HoldKey(KeyLabel label, qreal width, QWidget* parent)
    : QWidget(parent), label_(std::move(label)), width_(width), animation_(new QVariantAnimation(this)) {
    setFocusPolicy(Qt::NoFocus);
    // Moves without a button tell us the pointer went up where we could not see it (in a popup).
    setMouseTracking(true);
    animation_->setDuration(KeyCap::animationMilliseconds);
    animation_->setEasingCurve(QEasingCurve::OutQuad);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        depth_ = v.toReal();
        update();
    });
}

HoldKey::~HoldKey() {
    // A key torn down while held still lets go of what it started.
    gesture_.cancel();
}

void HoldKey::setLatched(bool latched) {
    if (latched == latched_) return;
    latched_ = latched;
    followDown();
}

void HoldKey::setLabel(KeyLabel label) {
    label_ = std::move(label);
    ++labelGeneration_;
    update();
}

QRect HoldKey::keyRect() const {
    const QMargins m = KeyCap::widgetMargins();
    return QRect(m.left(), m.top(), qCeil(width_), qCeil(height));
}

void HoldKey::setKeyGeometry(const QRect& keyRect) { setGeometry(keyRect.marginsAdded(KeyCap::widgetMargins())); }

QSize HoldKey::sizeHint() const { return QSize(qCeil(width_), qCeil(height)).grownBy(KeyCap::widgetMargins()); }

void HoldKey::followDown() {
    const bool down = gesture_.held() || latched_;
    if (down == lastDown_) return;
    const qreal from = animation_->state() == QAbstractAnimation::Running ? depth_ : (lastDown_ ? 1.0 : 0.0);
    lastDown_ = down;
    animation_->stop();
    depth_ = from;
    update();
    if (!isVisible()) return;
    animation_->setStartValue(from);
    animation_->setEndValue(down ? 1.0 : 0.0);
    animation_->start();
}

qreal HoldKey::depth() const {
    if (animation_->state() == QAbstractAnimation::Running) return depth_;
    return (gesture_.held() || latched_) ? 1.0 : 0.0;
}

void HoldKey::cancelHold() {
    gesture_.cancel();
    followDown();
}

void HoldKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool down = gesture_.held() || latched_;
    const qreal pressed = depth();
    const bool enabled = isEnabled();
    const QString key =
        QStringLiteral("%1|%2|%3|%4|%5").arg(down).arg(pressed).arg(width_).arg(labelGeneration_).arg(enabled);
    picture_.paint(painter, QRectF(rect()), key, [&](QPainter& p) {
        KeyCap{down, std::nullopt, width_, height, label_, enabled}.paint(p, keyRect().topLeft(), pressed);
    });
}

void HoldKey::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !keyRect().contains(event->position().toPoint())) {
        event->ignore();
        return;
    }
    tracking_ = true;
    gesture_.pointerChanged();
    followDown();
}

void HoldKey::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking_) return;
    if (event->buttons() & Qt::LeftButton) {
        gesture_.pointerChanged();
    } else {
        // The pointer-up went where we could not see it (into a popup, say).
        tracking_ = false;
        gesture_.pointerEnded();
    }
    followDown();
}

void HoldKey::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    tracking_ = false;
    gesture_.pointerEnded();
    followDown();
}

void HoldKey::hideEvent(QHideEvent* event) {
    cancelHold();
    QWidget::hideEvent(event);
}

void HoldKey::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) cancelHold();
    QWidget::changeEvent(event);
}

bool HoldKey::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::UngrabMouse:
    case QEvent::TouchCancel: cancelHold(); break;
    case QEvent::Enter:
    case QEvent::Leave:
        if (tracking_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
            tracking_ = false;
            gesture_.pointerEnded();
            followDown();
        }
        break;
    default: break;
    }
    return QWidget::event(event);
}

}  // namespace norvo
