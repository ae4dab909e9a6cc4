#include "LayerPicture.hpp"

#include "KitShadow.hpp"

#include <QImage>
#include <QtMath>

namespace norvo {

void LayerPicture::paint(QPainter& painter, const QRectF& bounds, QPointF offset,
                         const std::function<void(QPainter&)>& draw) {
    if (bounds.isEmpty()) return;
    const qreal scale = KitShadow::deviceScale(painter);
    if (pixmap_.isNull() || bounds != bounds_ || scale != scale_) {
        QImage image(qCeil(bounds.width() * scale), qCeil(bounds.height() * scale),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter layer(&image);
            layer.setRenderHints(painter.renderHints());
            layer.scale(scale, scale);
            layer.translate(-bounds.topLeft());
            draw(layer);
        }
        pixmap_ = QPixmap::fromImage(std::move(image));
        pixmap_.setDevicePixelRatio(scale);
        bounds_ = bounds;
        scale_ = scale;
        ++renders_;
    }
    // On whole device pixels, so the layer is copied as drawn, not resampled.
    const QTransform device = painter.deviceTransform();
    const QPointF at = device.map(bounds.topLeft() + offset);
    const QPointF snapped = device.inverted().map(QPointF(qRound(at.x()), qRound(at.y())));
    painter.drawPixmap(snapped, pixmap_);
}

}  // namespace norvo
