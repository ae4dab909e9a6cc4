#include "BlackFaceplate.hpp"

#include "CachedDrawing.hpp"

#include "BrushedMetal.hpp"
#include "KitColor.hpp"
#include "KitShadow.hpp"

#include <QLinearGradient>
#include <QPixmap>
#include <QPixmapCache>
#include <cmath>

namespace norvo {

namespace {

void drawPanel(QPainter& p, QSizeF size) {
    const QRectF rect(QPointF(), size);
    const QPainterPath shape = BlackFaceplate::shape(rect);
    p.setPen(Qt::NoPen);
    p.fillPath(shape, KitColor::faceplateBlack);
    p.save();
    p.setClipPath(shape);
    p.setOpacity(0.6);
    BrushedMetal{.tint = KitColor::white(0.8), .dark = true}.draw(p, size);
    p.restore();
    // The edge, stroked inside the border: lit from above, dark below.
    const qreal line = 1.5;
    QLinearGradient edge(0, 0, 0, size.height());
    edge.setColorAt(0, KitColor::white(1.0, 0.18));
    edge.setColorAt(1, KitColor::white(0.0, 0.6));
    QPainterPath inner;
    inner.addRoundedRect(rect.adjusted(line / 2, line / 2, -line / 2, -line / 2),
                         BlackFaceplate::cornerRadius - line / 2, BlackFaceplate::cornerRadius - line / 2);
    p.strokePath(inner, QPen(QBrush(edge), line));
}

}  // namespace

QPainterPath BlackFaceplate::shape(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius, cornerRadius);
    return path;
}

void BlackFaceplate::paint(QPainter& painter, const QRectF& rect) {
    if (rect.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    KitShadow::paint(painter, QStringLiteral("faceplate|%1x%2").arg(rect.width()).arg(rect.height()),
                     QRectF(QPointF(), rect.size()), KitColor::white(0.0, 0.6), 18, rect.topLeft() + QPointF(0, 12),
                     [&](QPainter& p) { p.fillPath(shape(QRectF(QPointF(), rect.size())), Qt::black); });
    paintCachedDrawing(painter, QStringLiteral("faceplate-panel|%1x%2").arg(rect.width()).arg(rect.height()), rect,
                       [](QPainter& p, QSizeF size) { drawPanel(p, size); });
    painter.restore();
}

}  // namespace norvo
