#include "KitPicture.hpp"

#include <QImage>
#include <QtMath>

namespace norvo {

void KitPicture::paint(QPainter& painter, const QRectF& bounds, const QString& key,
                       const std::function<void(QPainter&)>& draw) {
    const QTransform device = painter.deviceTransform();
    if (device.type() > QTransform::TxScale || device.m11() <= 0 || device.m22() <= 0 || bounds.isEmpty()) {
        draw(painter);
        return;
    }
    // The cache starts on a whole device pixel; the drawing keeps its fraction of a pixel.
    const QRectF area = device.mapRect(bounds);
    const QPoint origin(qFloor(area.left()), qFloor(area.top()));
    const QSize pixels(qCeil(area.right()) - origin.x(), qCeil(area.bottom()) - origin.y());
    const QTransform placement = device * QTransform::fromTranslate(-origin.x(), -origin.y());
    if (pixmap_.isNull() || key != key_ || placement != placement_ || bounds != bounds_ || pixmap_.size() != pixels) {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHints(painter.renderHints());
            p.setTransform(placement);
            p.setClipRect(bounds);
            draw(p);
        }
        pixmap_ = QPixmap::fromImage(std::move(image));
        key_ = key;
        placement_ = placement;
        bounds_ = bounds;
        ++renders_;
    }
    // Back to the device's own pixels (only its pixel ratio remains), then one copy.
    painter.save();
    painter.resetTransform();
    const QTransform ratio = painter.deviceTransform();
    pixmap_.setDevicePixelRatio(ratio.m11() > 0 ? ratio.m11() : 1.0);
    painter.drawPixmap(ratio.inverted().map(QPointF(origin)), pixmap_);
    painter.restore();
}

}  // namespace norvo
