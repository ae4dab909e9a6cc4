#include "LED.hpp"

#include "KitColor.hpp"
#include "KitShadow.hpp"

#include <QPainterPath>
#include <QRadialGradient>

namespace norvo {

void LED::paint(QPainter& painter, QPointF topLeft) const {
    const QRectF lamp(topLeft, QSizeF(size, size));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (on) {
        KitShadow::paint(painter, QStringLiteral("led|%1").arg(size), QRectF(QPointF(), lamp.size()),
                         KitColor::faded(color, 0.9), glowRadius, topLeft, [&](QPainter& p) {
                             p.setPen(Qt::NoPen);
                             p.setBrush(Qt::black);
                             p.drawEllipse(QRectF(0, 0, size, size));
                         });
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(on ? color : KitColor::faded(color, 0.18));
    painter.drawEllipse(lamp);

    QRadialGradient highlight(lamp.left() + 0.35 * size, lamp.top() + 0.3 * size, size / 2);
    highlight.setColorAt(0, KitColor::white(1.0, on ? 0.8 : 0.15));
    highlight.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(highlight);
    painter.drawEllipse(lamp);

    // The ring lies inside the lamp's edge.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(KitColor::white(0.0, 0.6), 1.0));
    painter.drawEllipse(lamp.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.restore();
}

}  // namespace norvo
