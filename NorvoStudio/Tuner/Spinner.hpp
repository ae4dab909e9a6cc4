#pragma once
#include <QColor>
#include <QPainter>
#include <QPointF>
#include <chrono>

#include "Platform/Clock.hpp"

namespace norvo {

// The small indeterminate spinner: eight spokes, the bright one turning with the wall
// clock, so whoever repaints it (the studio's tick) animates it.
struct Spinner {
    static constexpr qreal radius = 7.5;
    // The bright spoke at `now`: one of eight, the next every 100 ms.
    static int phase(Date now) {
        const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
        return int((milliseconds / 100) % 8);
    }
    static void paint(QPainter& painter, QPointF centre, const QColor& color, int phase);
};

}  // namespace norvo
