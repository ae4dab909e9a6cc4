#include "KitPicture.hpp"

#include <QImage>
#include <QtMath>

namespace norvo {

// Where a drawing lands in device pixels: the whole pixel it starts on, its size in pixels,
// and the map from logical coordinates into the cache (the device scale and the sub-pixel phase).
struct KitPicture::Placement {
    QPoint origin;
    QSize pixels;
    QTransform transform;
};

namespace {

// A shared picture is the same when its drawing is and it lands on the same device pixels.
struct SharedKey {
    PictureKey drawing;
    double x, y, width, height;
    double m11, m22, dx, dy;

    bool operator==(const SharedKey&) const = default;
    friend size_t qHash(const SharedKey& k, size_t seed = 0) noexcept {
        return qHashMulti(seed, k.drawing, k.x, k.y, k.width, k.height, k.m11, k.m22, k.dx, k.dy);
    }
};

}  // namespace

bool KitPicture::place(const QPainter& painter, const QRectF& bounds, Placement& placement) {
    const QTransform device = painter.deviceTransform();
    if (device.type() > QTransform::TxScale || device.m11() <= 0 || device.m22() <= 0 || bounds.isEmpty()) return false;
    // The cache starts on a whole device pixel; the drawing keeps its fraction of a pixel.
    const QRectF area = device.mapRect(bounds);
    placement.origin = QPoint(qFloor(area.left()), qFloor(area.top()));
    placement.pixels = QSize(qCeil(area.right()) - placement.origin.x(), qCeil(area.bottom()) - placement.origin.y());
    placement.transform = device * QTransform::fromTranslate(-placement.origin.x(), -placement.origin.y());
    return !placement.pixels.isEmpty();
}

QPixmap KitPicture::render(const QPainter& painter, const QRectF& bounds, const Placement& placement,
                           const std::function<void(QPainter&)>& draw) {
    QImage image(placement.pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHints(painter.renderHints());
        p.setFont(painter.font());
        p.setTransform(placement.transform);
        p.setClipRect(bounds);
        draw(p);
    }
    return QPixmap::fromImage(std::move(image));
}

void KitPicture::blit(QPainter& painter, const Placement& placement, QPixmap& pixmap) {
    // Only what the painter's clip lets through: Qt hands a copy of 96 rows or more to its
    // thread pool even when a clip leaves a few of them.
    QRect target(placement.origin, placement.pixels);
    if (painter.hasClipping()) {
        target &= painter.deviceTransform().mapRect(painter.clipBoundingRect()).toAlignedRect();
        if (target.isEmpty()) return;
    }
    // Back to the device's own pixels (only its pixel ratio remains), then one copy.
    painter.save();
    painter.resetTransform();
    const QTransform back = painter.deviceTransform().inverted();
    pixmap.setDevicePixelRatio(1);
    painter.drawPixmap(back.mapRect(QRectF(target)), pixmap, QRectF(target.translated(-placement.origin)));
    painter.restore();
}

void KitPicture::paint(QPainter& painter, const QRectF& bounds, const QString& key,
                       const std::function<void(QPainter&)>& draw) {
    Placement placement;
    if (!place(painter, bounds, placement)) {
        draw(painter);
        return;
    }
    if (pixmap_.isNull() || key != key_ || placement.transform != placement_ || bounds != bounds_ ||
        pixmap_.size() != placement.pixels) {
        pixmap_ = render(painter, bounds, placement, draw);
        key_ = key;
        placement_ = placement.transform;
        bounds_ = bounds;
        ++renders_;
    }
    blit(painter, placement, pixmap_);
}

void KitPicture::paintShared(QPainter& painter, const QRectF& bounds, const PictureKey& key,
                             const std::function<void(QPainter&)>& draw, PictureLife life) {
    Placement placement;
    if (!place(painter, bounds, placement)) {
        draw(painter);
        return;
    }
    const QTransform& t = placement.transform;
    const PictureKey cacheKey(SharedKey{key, bounds.x(), bounds.y(), bounds.width(), bounds.height(), t.m11(), t.m22(),
                                        t.dx(), t.dy()});
    QPixmap pixmap;
    if (!RecentPictures::find(life, cacheKey, &pixmap)) {
        pixmap = render(painter, bounds, placement, draw);
        RecentPictures::keep(life, cacheKey, pixmap);
    }
    blit(painter, placement, pixmap);
}

}  // namespace norvo
