#pragma once
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>

#include "PictureKey.hpp"
#include "RecentPictures.hpp"

namespace norvo {

// Shadows and glows of the kit: a blurred, tinted alpha image of a shape or text, cached by
// its inputs (the shape's key, bounds, colour, radius and the painter's device scale), so
// nothing is blurred again on a 60 Hz repaint and no graphics effects are needed.
struct KitShadow {
    // Draws the blurred alpha of whatever `shape` paints (in logical coordinates, inside
    // `bounds`) tinted with `color`, shifted by `offset`. `key` must identify the shape: best
    // the value the shape is drawn from.
    // The blur is a Gaussian whose standard deviation is `radius` design points. A shape that
    // follows a changing value (a readout, a growing bar) is kept as a `changing` picture.
    static void paint(QPainter& painter, const PictureKey& key, const QRectF& bounds, const QColor& color, qreal radius,
                      QPointF offset, const std::function<void(QPainter&)>& shape,
                      PictureLife life = PictureLife::lasting);

    // The device pixels per design point that `painter` currently draws at (device pixel
    // ratio times any scale on the painter), used to rasterise caches without upscaling.
    static qreal deviceScale(const QPainter& painter);
    // The scale caches are rasterised at: the device scale rounded up to an eighth, so a rack
    // being resized reuses a few cached sizes and a cache is only ever drawn smaller.
    static qreal cacheScale(const QPainter& painter);

    // Blurs an ARGB32-premultiplied image in place (three box passes, close to a Gaussian
    // of standard deviation `sigma` pixels).
    static void blur(QImage& image, qreal sigma);
};

}  // namespace norvo
