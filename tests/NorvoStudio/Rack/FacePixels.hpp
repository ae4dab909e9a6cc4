#pragma once
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace norvo::test {

// The face drawn under a painter scale (as the rack scales it) must match the unscaled
// picture made smaller: cached layers follow the painter, they are not placed in pixels.
inline double meanDifferenceUnderScale(QWidget& face, double scale) {
    const QSize full = face.size();
    QImage unscaled(full, QImage::Format_ARGB32_Premultiplied);
    unscaled.fill(Qt::transparent);
    face.render(&unscaled);
    QImage scaled((QSizeF(full) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    scaled.fill(Qt::transparent);
    {
        QPainter painter(&scaled);
        painter.scale(scale, scale);
        face.render(&painter);
    }
    const QImage reference = unscaled.scaled(scaled.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double total = 0;
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x) {
            const QRgb a = scaled.pixel(x, y), b = reference.pixel(x, y);
            total += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    return total / (3.0 * scaled.width() * scaled.height());
}

// The face as it paints itself at a device pixel ratio, over black.
inline QImage rendered(QWidget& face, qreal ratio = 1.0) {
    QImage image(face.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    face.render(&image);
    return image;
}

// How much a pixel (in design points) stands out, in its brightest channel, from the bare glass
// of a display at the same height near the display's edge.
inline int glowOverGlass(const QImage& image, QPointF at, qreal bareGlassX) {
    const qreal ratio = image.devicePixelRatio();
    const QColor c = image.pixelColor((at * ratio).toPoint());
    const QColor bare = image.pixelColor((QPointF(bareGlassX, at.y()) * ratio).toPoint());
    return std::max({c.red() - bare.red(), c.green() - bare.green(), c.blue() - bare.blue()});
}

}  // namespace norvo::test
