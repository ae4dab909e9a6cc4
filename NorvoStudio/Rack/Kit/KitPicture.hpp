#pragma once
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <functional>

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
    // How often the cache was drawn anew (for tests).
    int renders() const { return renders_; }

private:
    QPixmap pixmap_;
    QString key_;
    QTransform placement_;
    QRectF bounds_;
    int renders_ = 0;
};

}  // namespace norvo
