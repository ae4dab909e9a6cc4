#include "BlackFaceplate.hpp"

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
    BrushedMetal{KitColor::white(0.8), true}.draw(p, size);
    p.restore();
    // The edge, stroked inside the border: lit from above, dark below.
    const qreal line = 1.5;
    QLinearGradient edge(0, 0, 0, size.height());
    edge.setColorAt(0, KitColor::white(1.0, 0.18));
    edge.setColorAt(1, KitColor::white(0.0, 0.6));
    QPainterPath inner;
    inner.addRoundedRect(rect.adjusted(line / 2, line / 2, -line / 2, -line / 2), BlackFaceplate::cornerRadius - line / 2,
                         BlackFaceplate::cornerRadius - line / 2);
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
    const qreal scale = KitShadow::cacheScale(painter);
    const QString key = QStringLiteral("faceplate-panel|%1x%2|%3").arg(rect.width()).arg(rect.height()).arg(scale);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        KitShadow::reserveCache();
        QImage image(QSize(int(std::ceil(rect.width() * scale)), int(std::ceil(rect.height() * scale))),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            drawPanel(p, rect.size());
        }
        pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(key, pixmap);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect.topLeft(), pixmap);
    painter.restore();
    painter.restore();
}

}  // namespace norvo
