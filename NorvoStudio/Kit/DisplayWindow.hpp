#pragma once
#include <QPainter>
#include <QRectF>
#include <QSizeF>

namespace norvo {

// The dark glass window of a display: glass with a glare and a small shadow behind the
// content, and a black rim in front of it. Paint the glass, then the content inside
// contentRect(), then the rim.
struct DisplayWindow {
    static constexpr qreal padding = 10;
    static constexpr qreal cornerRadius = 6;
    static constexpr qreal rimWidth = 1.5;

    // The window around content of `contentSize`.
    static QSizeF sizeFor(QSizeF contentSize) { return contentSize + QSizeF(2 * padding, 2 * padding); }
    static QRectF contentRect(const QRectF& window) { return window.adjusted(padding, padding, -padding, -padding); }
    // What shows of the glass: the window inside its rim. Content is laid out in contentRect(),
    // but its glows spread over the padding, so it is clipped to the glass, not to that box.
    static QRectF glassRect(const QRectF& window) { return window.adjusted(rimWidth, rimWidth, -rimWidth, -rimWidth); }
    // Narrows the painter's clip to the glass; rounded only when `dirty` reaches into a corner
    // (a rounded clip costs more, and the 60 Hz readouts stay clear of the corners).
    static void clipToGlass(QPainter& painter, const QRectF& window, const QRectF& dirty);
    static void paintGlass(QPainter& painter, const QRectF& window);
    static void paintRim(QPainter& painter, const QRectF& window);
};

}  // namespace norvo
