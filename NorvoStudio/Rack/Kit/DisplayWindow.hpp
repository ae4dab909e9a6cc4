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

    // The window around content of `contentSize`.
    static QSizeF sizeFor(QSizeF contentSize) { return contentSize + QSizeF(2 * padding, 2 * padding); }
    static QRectF contentRect(const QRectF& window) {
        return window.adjusted(padding, padding, -padding, -padding);
    }
    static void paintGlass(QPainter& painter, const QRectF& window);
    static void paintRim(QPainter& painter, const QRectF& window);
};

}  // namespace norvo
