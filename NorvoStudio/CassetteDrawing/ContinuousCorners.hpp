#pragma once
#include <QPainterPath>
#include <QRectF>

namespace norvo {

// Rounded rectangles whose corners ease into the straight edges (continuous curvature)
// instead of meeting them with a circular arc: the look of the drawn cassette and card.
struct ContinuousCorners {
    // A corner of radius r starts this many radii before the corner point.
    static constexpr double extent = 1.52866483;

    // Radii too large for the rectangle shrink until the two corners of a side meet.
    static QPainterPath roundedRect(const QRectF& rect, double radius);
};

}  // namespace norvo
