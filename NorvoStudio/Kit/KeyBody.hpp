#pragma once
#include <QColor>
#include <QPainter>
#include <QRectF>

namespace norvo {

// The body shared by the kit's keys: a rounded rectangle filled with a vertical two-grey
// gradient, casting a black shadow, with an edge stroked inside its border.
struct KeyBody {
    qreal cornerRadius = 4;
    qreal topWhite = 0.32;
    qreal bottomWhite = 0.16;
    qreal shadowOpacity = 0.8;
    qreal shadowRadius = 2;
    qreal shadowDrop = 2.5;
    QColor edge;
    qreal edgeWidth = 1;

    void paint(QPainter& painter, const QRectF& rect) const;
};

}  // namespace norvo
