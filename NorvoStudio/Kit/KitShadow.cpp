#include "KitShadow.hpp"

#include <QPixmap>
#include <QtMath>
#include <array>
#include <cmath>
#include <vector>

namespace norvo {

namespace {

// Three box widths whose succession approximates a Gaussian of `sigma`.
std::array<int, 3> boxesForGauss(qreal sigma) {
    const int n = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0) --lower;
    const int upper = lower + 2;
    const double mIdeal = (12.0 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) / (-4.0 * lower - 4.0);
    const int m = int(std::lround(mIdeal));
    std::array<int, 3> sizes{};
    for (int i = 0; i < n; ++i) sizes[i] = i < m ? lower : upper;
    return sizes;
}

// One box pass over `count` values spaced `stride` apart; outside the image counts as clear.
void boxPass(float* data, int count, int stride, int radius, std::vector<float>& prefix) {
    prefix.assign(size_t(count) + 1, 0.0f);
    for (int i = 0; i < count; ++i) prefix[size_t(i) + 1] = prefix[size_t(i)] + data[size_t(i) * size_t(stride)];
    const float scale = 1.0f / float(2 * radius + 1);
    for (int i = 0; i < count; ++i) {
        const int lo = qMax(0, i - radius);
        const int hi = qMin(count - 1, i + radius);
        data[size_t(i) * size_t(stride)] = (prefix[size_t(hi) + 1] - prefix[size_t(lo)]) * scale;
    }
}

// A blurred picture is the same when its shape, placement, colour, blur and scale are.
struct ShadowKey {
    PictureKey shape;
    double x, y, width, height;
    quint64 color;
    qreal radius;
    qreal scale;

    bool operator==(const ShadowKey&) const = default;
    friend size_t qHash(const ShadowKey& k, size_t seed = 0) noexcept {
        return qHashMulti(seed, k.shape, k.x, k.y, k.width, k.height, k.color, k.radius, k.scale);
    }
};

// Blurs one plane of `w` × `h` values in place.
void blurPlane(std::vector<float>& plane, int w, int h, qreal sigma) {
    std::vector<float> prefix;
    for (int box : boxesForGauss(sigma)) {
        const int radius = (box - 1) / 2;
        if (radius <= 0) continue;
        for (int y = 0; y < h; ++y) boxPass(plane.data() + size_t(y) * size_t(w), w, 1, radius, prefix);
        for (int x = 0; x < w; ++x) boxPass(plane.data() + x, h, w, radius, prefix);
    }
}

}  // namespace

qreal KitShadow::deviceScale(const QPainter& painter) {
    const QTransform t = painter.deviceTransform();
    const qreal scale = std::sqrt(std::abs(t.determinant()));
    return scale > 0 ? scale : 1.0;
}

qreal KitShadow::cacheScale(const QPainter& painter) { return std::ceil(deviceScale(painter) * 8.0 - 1e-6) / 8.0; }

void KitShadow::blur(QImage& image, qreal sigma) {
    if (sigma < 0.3 || image.isNull()) return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width(), h = image.height();
    std::vector<float> planes[4];
    for (auto& p : planes) p.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            planes[0][i] = float(qAlpha(line[x]));
            planes[1][i] = float(qRed(line[x]));
            planes[2][i] = float(qGreen(line[x]));
            planes[3][i] = float(qBlue(line[x]));
        }
    }
    for (auto& p : planes) blurPlane(p, w, h, sigma);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            auto clamp = [](float v) { return qBound(0, int(std::lround(v)), 255); };
            const int a = clamp(planes[0][i]);
            line[x] =
                qRgba(qMin(a, clamp(planes[1][i])), qMin(a, clamp(planes[2][i])), qMin(a, clamp(planes[3][i])), a);
        }
    }
}

void KitShadow::paint(QPainter& painter, const PictureKey& key, const QRectF& bounds, const QColor& color, qreal radius,
                      QPointF offset, const std::function<void(QPainter&)>& shape, PictureLife life) {
    if (color.alpha() == 0 || bounds.isEmpty()) return;
    const qreal scale = cacheScale(painter);
    const qreal margin = std::ceil(3 * radius) + 1;
    const QSizeF logical = bounds.size() + QSizeF(2 * margin, 2 * margin);
    const PictureKey cacheKey(ShadowKey{key, bounds.x(), bounds.y(), bounds.width(), bounds.height(),
                                        quint64(color.rgba64()), radius, scale});
    QPixmap pixmap;
    if (!RecentPictures::find(life, cacheKey, &pixmap)) {
        const QSize pixels(int(std::ceil(logical.width() * scale)), int(std::ceil(logical.height() * scale)));
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.scale(scale, scale);
            p.translate(margin - bounds.x(), margin - bounds.y());
            shape(p);
        }
        // Only the shape's alpha matters: the colour comes from `color`.
        const int w = image.width(), h = image.height();
        std::vector<float> alpha(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) alpha[size_t(y) * size_t(w) + size_t(x)] = float(qAlpha(line[x]));
        }
        if (radius * scale >= 0.3) blurPlane(alpha, w, h, radius * scale);
        const QRgb tint = color.rgba();
        const float opacity = float(color.alphaF());
        for (int y = 0; y < h; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int a = qBound(0, int(std::lround(alpha[size_t(y) * size_t(w) + size_t(x)] * opacity)), 255);
                line[x] = qRgba(qRed(tint) * a / 255, qGreen(tint) * a / 255, qBlue(tint) * a / 255, a);
            }
        }
        pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        RecentPictures::keep(life, cacheKey, pixmap);
    }
    // Only the part the clip lets through: Qt hands a copy of 96 rows or more to its thread
    // pool even when the clip leaves a few of them.
    const QRectF target(bounds.topLeft() - QPointF(margin, margin) + offset, QSizeF(pixmap.size()) / scale);
    QRectF part = target;
    if (painter.hasClipping()) part &= painter.clipBoundingRect();
    if (part.isEmpty()) return;
    const QRectF source((part.topLeft() - target.topLeft()) * scale, part.size() * scale);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(part, pixmap, source);
    painter.restore();
}

}  // namespace norvo
