#include "Tuner/PickerPopup.hpp"

#include <QGraphicsProxyWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <cmath>

#include "Kit/KeyButton.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitShadow.hpp"

namespace norvo {

namespace {

constexpr qreal cornerRadius = 6;
constexpr qreal edgeWidth = 1;

// The panel and its arrow as one outline, `inset` inside the panel's bounds. The arrow's
// sides run at 45 degrees, so it is twice as wide as it is high where it meets the panel.
QPainterPath outline(const QRectF& panel, qreal arrowX, qreal inset) {
    QPainterPath body;
    body.addRoundedRect(panel.adjusted(inset, inset, -inset, -inset), cornerRadius - inset, cornerRadius - inset);
    const qreal tipY = panel.top() - PickerPopup::arrowHeight + inset * M_SQRT2;
    const qreal base = panel.top() + cornerRadius;  // below the edge, so the two merge
    QPainterPath arrow;
    arrow.moveTo(arrowX - (base - tipY), base);
    arrow.lineTo(arrowX, tipY);
    arrow.lineTo(arrowX + (base - tipY), base);
    arrow.closeSubpath();
    return body.united(arrow);
}

}  // namespace

PickerPopup::PickerPopup(QWidget* content, QWidget* anchor)
    : QWidget(anchor, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      content_(content),
      naturalHeight_(content->height()),
      anchor_(anchor) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    content_->setParent(this);
    content_->move(shadowMargin + edgeInset, arrowHeight + edgeInset);
    content_->show();
    setContentHeight(naturalHeight_);
    arrowX_ = width() / 2.0;
}

void PickerPopup::setContentHeight(int height) {
    content_->resize(content_->width(), height);
    resize(content_->width() + 2 * (shadowMargin + edgeInset), arrowHeight + height + 2 * edgeInset + shadowMargin);
}

QRectF PickerPopup::panelRect() const {
    return QRectF(shadowMargin, arrowHeight, width() - 2 * shadowMargin, content_->height() + 2 * edgeInset);
}

QRect PickerPopup::anchorRect() const {
    if (const auto* key = qobject_cast<const KeyButton*>(anchor_.data())) return key->keyRect();
    return anchor_ ? anchor_->rect() : QRect();
}

void PickerPopup::open() {
    arrowX_ = width() / 2.0;
    if (anchor_) {
        const QRect key = anchorRect();
        const QPointF tip(key.left() + key.width() / 2.0, key.top() + key.height());
        const int left = int(std::lround(tip.x() - width() / 2.0));
        arrowX_ = tip.x() - left;
        // Kept inside the screen, or inside the rack when the rack is scaled in a graphics
        // view (there the popover is part of the scene); the arrow keeps pointing at the key.
        QWidget* window = anchor_->window();
        const bool embedded = window->graphicsProxyWidget() != nullptr;
        QRect area;
        if (embedded) area = window->rect();
        else if (const QScreen* screen = anchor_->screen()) area = screen->availableGeometry();
        // Placed in the anchor's window's own coordinates, so that a scaled rack maps it like
        // the key itself.
        QPoint topLeft = anchor_->mapTo(window, QPoint(left, int(tip.y())));
        if (!embedded) topLeft = window->mapToGlobal(topLeft);
        if (area.isValid()) {
            const int x = std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - width()));
            const qreal room = shadowMargin + cornerRadius + 2 * arrowHeight;
            arrowX_ = std::clamp(arrowX_ - (x - topLeft.x()), std::min(room, width() / 2.0),
                                 std::max(width() - room, width() / 2.0));
            topLeft.setX(x);
            // A country list opened near the bottom of a small window keeps its arrow on
            // the key and ends at the window's edge.
            const int below = area.bottom() + 1 - topLeft.y() - (arrowHeight + 2 * edgeInset + shadowMargin);
            setContentHeight(std::clamp(below, std::min(minimumContentHeight, naturalHeight_), naturalHeight_));
        }
        move(embedded ? window->mapToGlobal(topLeft) : topLeft);
        if (!embedded) standOver(*window, window->mapFromGlobal(topLeft));
    }
    show();
}

void PickerPopup::standOver(QWidget& window, QPoint at) {
    // A window of its own is see-through only where the desktop composites windows. What it
    // covers of the studio is painted under the shadow, so the shadow never shows as a black
    // frame; beyond the studio's window only the panel itself is shown.
    const QRect covered = QRect(at, size()) & window.rect();
    backdrop_ = covered.isEmpty() ? QPixmap() : window.grab(covered);
    backdropAt_ = covered.topLeft() - at;
    const QPolygon panel = outline(panelRect(), arrowX_, 0).toFillPolygon().toPolygon();
    setMask(QRegion(QRect(backdropAt_, covered.size())) | QRegion(panel));
}

bool PickerPopup::onPanel(QPointF point) const { return outline(panelRect(), arrowX_, 0).contains(point); }

void PickerPopup::mousePressEvent(QMouseEvent* event) {
    // The shadow round the panel is outside too.
    if (!onPanel(event->position())) {
        // A press on the key that opened us only closes us: the key must not reopen it.
        if (anchor_ && anchorRect().contains(anchor_->mapFromGlobal(event->globalPosition().toPoint()))) {
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
    if (!backdrop_.isNull()) painter.drawPixmap(backdropAt_, backdrop_);
    const QRectF panel = panelRect();
    const QPainterPath shape = outline(panel, arrowX_, 0);
    // Lifted off the rack: a soft shadow, then the black panel and a light edge around it,
    // so it stands apart from a faceplate of the same black.
    KitShadow::paint(painter, QStringLiteral("picker-popup|%1x%2|%3").arg(width()).arg(height()).arg(arrowX_),
                     QRectF(rect()), QColor::fromRgbF(0, 0, 0, 0.8f), 5, QPointF(0, 4),
                     [&](QPainter& p) { p.fillPath(shape, Qt::black); });
    painter.fillPath(shape, KitColor::faceplateBlack);
    painter.setPen(QPen(KitColor::white(1, 0.22), edgeWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline(panel, arrowX_, edgeWidth / 2));
}

}  // namespace norvo
