#include "KeyBody.hpp"

#include "KitColor.hpp"
#include "KitShadow.hpp"

#include <QLinearGradient>
#include <QPainterPath>

namespace norvo {

void KeyBody::paint(QPainter& painter, const QRectF& rect) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF local(QPointF(), rect.size());
    const qreal r = cornerRadius;
    KitShadow::paint(painter, QStringLiteral("keybody|%1x%2|%3").arg(rect.width()).arg(rect.height()).arg(r), local,
                     KitColor::white(0.0, shadowOpacity), shadowRadius, rect.topLeft() + QPointF(0, shadowDrop),
                     [&](QPainter& p) {
                         QPainterPath path;
                         path.addRoundedRect(local, r, r);
                         p.fillPath(path, Qt::black);
                     });
    QPainterPath body;
    body.addRoundedRect(rect, r, r);
    QLinearGradient gradient(0, rect.top(), 0, rect.bottom());
    gradient.setColorAt(0, KitColor::white(topWhite));
    gradient.setColorAt(1, KitColor::white(bottomWhite));
    painter.fillPath(body, gradient);
    QPainterPath edgePath;
    const qreal half = edgeWidth / 2;
    edgePath.addRoundedRect(rect.adjusted(half, half, -half, -half), r - half, r - half);
    painter.strokePath(edgePath, QPen(edge, edgeWidth));
    painter.restore();
}

}  // namespace norvo
