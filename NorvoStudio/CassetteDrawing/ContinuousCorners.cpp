#include "ContinuousCorners.hpp"

#include <algorithm>

namespace norvo {

QPainterPath ContinuousCorners::roundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    const QRectF r = rect.normalized();
    const double limit = std::min(r.width(), r.height()) / 2 / extent;
    const double c = std::clamp(radius, 0.0, limit);
    if (c <= 0) {
        path.addRect(r);
        return path;
    }
    const double left = r.left(), top = r.top(), right = r.right(), bottom = r.bottom();
    // Three cubic pieces per corner; (u, v) are offsets along and across the corner's
    // first edge, mirrored into each corner by the lambda's axes.
    const auto corner = [&](QPointF origin, QPointF along, QPointF across) {
        const auto p = [&](double u, double v) { return origin + along * (u * c) + across * (v * c); };
        path.cubicTo(p(1.08849323, 0), p(0.86840689, 0), p(0.63149399, 0.07491139));
        path.cubicTo(p(0.37282392, 0.16905899), p(0.16905899, 0.37282392), p(0.07491139, 0.63149399));
        path.cubicTo(p(0, 0.86840689), p(0, 1.08849323), p(0, extent));
    };
    path.moveTo(left + extent * c, top);
    path.lineTo(right - extent * c, top);
    corner({right, top}, {-1, 0}, {0, 1});
    path.lineTo(right, bottom - extent * c);
    corner({right, bottom}, {0, -1}, {-1, 0});
    path.lineTo(left + extent * c, bottom);
    corner({left, bottom}, {1, 0}, {0, -1});
    path.lineTo(left, top + extent * c);
    corner({left, top}, {0, 1}, {1, 0});
    path.closeSubpath();
    return path;
}

}  // namespace norvo
