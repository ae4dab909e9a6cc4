#pragma once
#include <QColor>
#include <QPainter>
#include <QPointF>

namespace norvo {

// The small indeterminate spinner: eight spokes, the bright one turning with the wall
// clock, so whoever repaints it (the studio's tick) animates it.
struct Spinner {
    static constexpr qreal radius = 7.5;
    static void paint(QPainter& painter, QPointF centre, const QColor& color, qint64 milliseconds);
};

}  // namespace norvo
