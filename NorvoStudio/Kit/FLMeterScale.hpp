#pragma once
#include "ExactFont.hpp"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace norvo {

// The row of dB figures printed beside a pair of FLMeterBars, one column per mark, each figure
// centred over its segment: −40, −30, −20, −10, −5 in cyan, 0 and 3 in red; the others blank.
struct FLMeterScale {
    static QString figure(double mark);
    static QColor color(double mark);
    // System monospaced 6.5, medium.
    static ExactFont font();
    static qreal height();
    // Draws the figures in `rect`, whose width should match the bars' rect.
    static void paint(QPainter& painter, const QRectF& rect);
};

}  // namespace norvo
