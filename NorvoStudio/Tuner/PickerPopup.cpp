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

// The panel and its arrow as one outline, `inset` inside the panel's bounds; the arrow stands on
// the panel's edge towards the key. Its sides run at 45 degrees, so it is twice as wide as it
// is high where it meets the panel.
QPainterPath outline(const QRectF& panel, qreal arrowX, PickerPopup::Side side, qreal inset) {
    QPainterPath body;
    body.addRoundedRect(panel.adjusted(inset, inset, -inset, -inset), cornerRadius - inset, cornerRadius - inset);
    const bool below = side == PickerPopup::Side::below;
    const qreal edge = below ? panel.top() : panel.bottom();
    const qreal towardsKey = below ? -1 : 1;
    const qreal tipY = edge + towardsKey * (PickerPopup::arrowHeight - inset * M_SQRT2);
    const qreal base = edge - towardsKey * cornerRadius;  // inside the edge, so the two merge
    const qreal half = std::abs(base - tipY);
    QPainterPath arrow;
    arrow.moveTo(arrowX - half, base);
    arrow.lineTo(arrowX, tipY);
    arrow.lineTo(arrowX + half, base);
    arrow.closeSubpath();
    return body.united(arrow);
}

}  // namespace

PickerPopup::PickerPopup(QWidget* content, QWidget* anchor, Content kind)
    : QWidget(anchor, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      content_(content),
      kind_(kind),
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

QPointF PickerPopup::arrowTip() const {
    // Above its key the panel keeps the same room over it as below, and the shadow's room
    // below the tip reaches over the key's top.
    return {arrowX_, side_ == Side::below ? 0.0 : panelRect().bottom() + arrowHeight};
}

QRectF PickerPopup::anchorRect() const {
    if (const auto* key = qobject_cast<const KeyButton*>(anchor_.data())) return key->keyRectF();
    return anchor_ ? QRectF(anchor_->rect()) : QRectF();
}

QPoint PickerPopup::place(QRectF key, QRect area) {
    int height = naturalHeight_;
    side_ = Side::below;
    if (area.isValid()) {
        // The content's room on each side: below, the arrow, the panel's black and the shadow;
        // above, the arrow, the black and as much again over the panel as the arrow takes.
        const int below =
            int(std::floor(area.bottom() + 1 - key.bottom())) - (arrowHeight + 2 * edgeInset + shadowMargin);
        const int above = int(std::floor(key.top() - area.top())) - (2 * arrowHeight + 2 * edgeInset);
        if (naturalHeight_ > below) {
            if (naturalHeight_ <= above || above > below) side_ = Side::above;
            // Only a list that scrolls loses nothing by being shorter.
            if (naturalHeight_ > std::max(above, below) && kind_ == Content::scrolls)
                height =
                    std::clamp(std::max(above, below), std::min(minimumContentHeight, naturalHeight_), naturalHeight_);
        }
    }
    setContentHeight(height);

    const qreal tipX = key.center().x();
    const int left = int(std::lround(tipX - width() / 2.0));
    int x = left;
    if (area.isValid()) x = std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - width()));
    // Moved along the edge to stay inside, the arrow keeps pointing at the key, clear of the
    // panel's rounded corners.
    const qreal room = shadowMargin + cornerRadius + 2 * arrowHeight;
    arrowX_ = std::clamp(tipX - x, std::min(room, width() / 2.0), std::max(width() - room, width() / 2.0));
    const qreal tipY = side_ == Side::below ? key.bottom() : key.top();
    return {x, int(std::lround(tipY - arrowTip().y()))};
}

void PickerPopup::open() {
    side_ = Side::below;
    arrowX_ = width() / 2.0;
    if (anchor_) {
        // Placed in the anchor's window's own coordinates, so that a scaled rack maps it like
        // the key itself; kept inside the screen, or inside the rack when the rack is scaled in
        // a graphics view (there the popover is part of the scene).
        QWidget* window = anchor_->window();
        const bool embedded = window->graphicsProxyWidget() != nullptr;
        const QRectF anchorKey = anchorRect();
        QRectF key(anchor_->mapTo(window, anchorKey.topLeft()), anchorKey.size());
        QRect area;
        if (embedded) area = window->rect();
        else {
            key.moveTopLeft(window->mapToGlobal(key.topLeft()));
            if (const QScreen* screen = anchor_->screen()) area = screen->availableGeometry();
        }
        const QPoint topLeft = place(key, area);
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
    const QPolygon panel = outline(panelRect(), arrowX_, side_, 0).toFillPolygon().toPolygon();
    setMask(QRegion(QRect(backdropAt_, covered.size())) | QRegion(panel));
}

bool PickerPopup::onPanel(QPointF point) const { return outline(panelRect(), arrowX_, side_, 0).contains(point); }

void PickerPopup::mousePressEvent(QMouseEvent* event) {
    // The shadow round the panel is outside too.
    if (!onPanel(event->position())) {
        // A press on the key that opened us only closes us: the key must not reopen it.
        if (anchor_ && anchorRect().contains(anchor_->mapFromGlobal(event->globalPosition()))) {
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
    const QPainterPath shape = outline(panel, arrowX_, side_, 0);
    // Lifted off the rack: a soft shadow, then the black panel and a light edge around it,
    // so it stands apart from a faceplate of the same black.
    KitShadow::paint(painter,
                     QStringLiteral("picker-popup|%1x%2|%3|%4").arg(width()).arg(height()).arg(arrowX_).arg(int(side_)),
                     QRectF(rect()), QColor::fromRgbF(0, 0, 0, 0.8f), 5, QPointF(0, 4),
                     [&](QPainter& p) { p.fillPath(shape, Qt::black); });
    painter.fillPath(shape, KitColor::faceplateBlack);
    painter.setPen(QPen(KitColor::white(1, 0.22), edgeWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline(panel, arrowX_, side_, edgeWidth / 2));
}

}  // namespace norvo
