#pragma once
#include <QPainter>
#include <QRectF>
#include <QString>
#include <functional>

namespace norvo {

// Draws `draw` (in design points over rect's size) at rect's top left through the shared
// pixmap cache, rasterised at the painter's cache scale: textures are drawn once per size
// and scale, never scaled up. `key` must name everything the drawing depends on but the scale.
void paintCachedDrawing(QPainter& painter, const QString& key, const QRectF& rect,
                        const std::function<void(QPainter&, QSizeF)>& draw);

}  // namespace norvo
