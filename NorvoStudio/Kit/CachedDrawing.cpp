#include "CachedDrawing.hpp"

#include <QImage>
#include <QPixmap>
#include <QPixmapCache>
#include <cmath>

#include "KitShadow.hpp"

namespace norvo {

void paintCachedDrawing(QPainter& painter, const QString& key, const QRectF& rect,
                        const std::function<void(QPainter&, QSizeF)>& draw) {
    const qreal scale = KitShadow::cacheScale(painter);
    const QString scaledKey = key + QStringLiteral("|%1").arg(scale);
    QPixmap pixmap;
    if (!QPixmapCache::find(scaledKey, &pixmap)) {
        QImage image(QSize(int(std::ceil(rect.width() * scale)), int(std::ceil(rect.height() * scale))),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            draw(p, rect.size());
        }
        pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(scaledKey, pixmap);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect.topLeft(), pixmap);
    painter.restore();
}

}  // namespace norvo
