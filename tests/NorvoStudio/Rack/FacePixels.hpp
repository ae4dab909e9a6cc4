#pragma once
#include <QImage>
#include <QPainter>
#include <QWidget>
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


}  // namespace norvo::test
