#include "SilverKeyStyle.hpp"

#include "KeyBody.hpp"
#include "KitColor.hpp"
#include "KitFont.hpp"

namespace norvo {

QFont SilverKeyStyle::font() { return KitFont::keyCaption(7); }

QColor SilverKeyStyle::ink() const { return lit ? QColor::fromRgbF(0.1f, 0.45f, 0.2f) : KitColor::white(0.22); }

void SilverKeyStyle::paint(QPainter& painter, QPointF topLeft, bool pressed, const KeyLabel& label,
                           bool enabled) const {
    const QRectF rect(topLeft + QPointF(0, pressed ? 1 : 0), QSizeF(width, height));
    KeyBody body;
    body.cornerRadius = cornerRadius;
    body.topWhite = pressed ? 0.70 : 0.95;
    body.bottomWhite = pressed ? 0.82 : 0.72;
    body.shadowOpacity = pressed ? 0.20 : 0.45;
    body.shadowRadius = pressed ? 0.5 : 2;
    body.shadowDrop = pressed ? 0.5 : 2;
    body.edge = KitColor::white(0.0, 0.25);
    body.edgeWidth = 0.8;
    body.paint(painter, rect);
    label.paint(painter, rect, ink(), font(), enabled);
}

}  // namespace norvo
