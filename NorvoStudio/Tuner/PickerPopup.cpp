#include "Tuner/PickerPopup.hpp"

#include <QGraphicsProxyWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "Rack/Kit/KitColor.hpp"

namespace norvo {

PickerPopup::PickerPopup(QWidget* content, QWidget* anchor)
    : QWidget(anchor, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      content_(content),
      anchor_(anchor) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    content_->setParent(this);
    content_->move(0, arrowHeight);
    content_->show();
    resize(content_->width(), content_->height() + arrowHeight);
}

void PickerPopup::open() {
    arrowX_ = width() / 2.0;
    if (anchor_) {
        // Placed in the anchor's own coordinates, so that a rack scaled in a graphics view
        // maps it like the key itself.
        QPoint topLeft = anchor_->mapToGlobal(QPoint(anchor_->width() / 2 - width() / 2, anchor_->height()));
        const bool embedded = anchor_->window()->graphicsProxyWidget() != nullptr;
        if (const QScreen* screen = anchor_->screen(); screen && !embedded) {
            // A real window stays on the screen; the arrow keeps pointing at the key.
            const QRect area = screen->availableGeometry();
            const int x = std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - width()));
            arrowX_ -= x - topLeft.x();
            topLeft.setX(x);
        }
        move(topLeft);
    }
    show();
}

void PickerPopup::mousePressEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        // A press on the key that opened us only closes us: the key must not reopen it.
        if (anchor_ && anchor_->rect().contains(anchor_->mapFromGlobal(event->globalPosition().toPoint()))) {
            setAttribute(Qt::WA_NoMouseReplay);
            emit anchorPressed();
            return;
        }
        close();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PickerPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PickerPopup::hideEvent(QHideEvent*) { emit closed(); }

void PickerPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(arrowX_ - arrowHeight, arrowHeight + 0.5);
    arrow.lineTo(arrowX_, 0);
    arrow.lineTo(arrowX_ + arrowHeight, arrowHeight + 0.5);
    arrow.closeSubpath();
    painter.fillPath(arrow, KitColor::faceplateBlack);
}

}  // namespace norvo
