#pragma once
#include <QPainter>
#include <QRectF>

namespace norvo {

// The display's signal staircase: five segments 4, 7, 10, 13 and 16 high.
struct SignalMeter {
    double level = 0;
    bool lit = false;

    static constexpr qreal width = 28;
    static constexpr qreal height = 16;

    // Any positive level lights at least one; above 0.8 all five; unlit, none.
    static int litSegments(double level, bool lit);
    // Draws the row bottom-aligned in the 28 × 16 box at `topLeft`.
    void paint(QPainter& painter, QPointF topLeft) const;
};

}  // namespace norvo
