#include "KeyCap.hpp"

#include "KeyBody.hpp"
#include "KitColor.hpp"
#include "KitFont.hpp"

namespace norvo {

namespace {
qreal mix(qreal up, qreal down, qreal depth) { return up + (down - up) * depth; }
}  // namespace

QFont KeyCap::font() { return KitFont::keyCaption(9); }

QColor KeyCap::ink() const { return accent.value_or(KitColor::white(0.85)); }

void KeyCap::paint(QPainter& painter, QPointF topLeft) const { paint(painter, topLeft, down ? 1.0 : 0.0); }

void KeyCap::paint(QPainter& painter, QPointF topLeft, qreal depth) const {
    depth = qBound<qreal>(0, depth, 1);
    const QRectF rect(topLeft + QPointF(0, sink * depth), QSizeF(width, height));
    KeyBody body;
    body.cornerRadius = cornerRadius;
    body.topWhite = mix(0.32, 0.13, depth);
    body.bottomWhite = mix(0.16, 0.2, depth);
    body.shadowOpacity = mix(0.8, 0.3, depth);
    body.shadowRadius = mix(2, 0.5, depth);
    body.shadowDrop = mix(2.5, 0.5, depth);
    body.edge = KitColor::white(1.0, mix(0.12, 0.04, depth));
    body.paint(painter, rect);
    label.paint(painter, rect, ink(), font(), enabled);
}

}  // namespace norvo
