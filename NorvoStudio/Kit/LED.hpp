#pragma once
#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QRectF>

namespace norvo {

// A round lamp of diameter `size`: full colour with a bright highlight and a glow when on,
// the colour at 0.18 with a faint highlight and no glow when off; always ringed.
struct LED {
    bool on = false;
    QColor color;
    qreal size = 8;

    static constexpr qreal glowRadius = 5;

    // Draws the lamp in the square `size` × `size` at `topLeft` (the glow spills outside).
    void paint(QPainter& painter, QPointF topLeft) const;
    void paintCentred(QPainter& painter, QPointF centre) const { paint(painter, centre - QPointF(size / 2, size / 2)); }
};

}  // namespace norvo
