#include "StaticLayer.hpp"

#include "KitShadow.hpp"

namespace norvo {

void StaticLayer::paint(QPainter& painter, QSize size, const QRegion& dirty,
                        const std::function<void(QPainter&)>& draw) {
    const qreal ratio = KitShadow::deviceScale(painter);
    if (pixmap_.isNull() || size_ != size || ratio_ != ratio) {
        // Scaled by hand: a painter on a pixmap applies its device ratio only above 1.
        pixmap_ = QPixmap((QSizeF(size) * ratio).toSize());
        pixmap_.fill(Qt::transparent);
        {
            QPainter layer(&pixmap_);
            layer.setRenderHint(QPainter::Antialiasing);
            layer.setRenderHint(QPainter::TextAntialiasing);
            layer.scale(ratio, ratio);
            draw(layer);
        }
        pixmap_.setDevicePixelRatio(ratio);
        size_ = size;
        ratio_ = ratio;
    }
    // The layer carries its device ratio, so it maps onto the face at any painter scale.
    // Copied rect by rect: under a region clip Qt would walk every row of the layer.
    for (const QRect& r : dirty)
        painter.drawPixmap(QRectF(r), pixmap_, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
}

}  // namespace norvo
