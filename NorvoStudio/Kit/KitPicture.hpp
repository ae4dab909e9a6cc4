#pragma once
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <functional>

#include "PictureKey.hpp"
#include "RecentPictures.hpp"

namespace norvo {

// A drawing kept as device pixels and copied while what it shows stays the same. Keys and knobs
// are painted far more often (full repaints, a neighbour's dirty rect, a scaled rack) than their
// look changes; gradients, shadows and shaped text then cost one blit. The cache is drawn at the
// painter's own device scale and sub-pixel phase, so the copy is pixel for pixel what drawing
// directly would give; under a rotating transform it draws directly.
class KitPicture {
public:
    // Draws what `draw` paints inside `bounds` (logical coordinates), from the cache when `key`
    // (everything the drawing depends on) and the painter's placement are those of the last call.
    void paint(QPainter& painter, const QRectF& bounds, const QString& key, const std::function<void(QPainter&)>& draw);
    void clear() { pixmap_ = QPixmap(); }

    // The same for drawings without an owner to keep them (value types such as GlowText): kept
    // under `key` (best the value drawn) and the placement, so equal drawings anywhere share one
    // copy; in QPixmapCache when lasting, among the recent pictures when they show a changing value.
    static void paintShared(QPainter& painter, const QRectF& bounds, const PictureKey& key,
                            const std::function<void(QPainter&)>& draw, PictureLife life = PictureLife::lasting);
    // How often the cache was drawn anew (for tests).
    int renders() const { return renders_; }

private:
    struct Placement;
    static bool place(const QPainter& painter, const QRectF& bounds, Placement& placement);
    static QPixmap render(const QPainter& painter, const QRectF& bounds, const Placement& placement,
                          const std::function<void(QPainter&)>& draw);
    static void blit(QPainter& painter, const Placement& placement, QPixmap& pixmap);

    QPixmap pixmap_;
    QString key_;
    QTransform placement_;
    QRectF bounds_;
    int renders_ = 0;
};

}  // namespace norvo
