#pragma once
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace norvo {

// The black panel behind a whole device face: faceplate black under dark brushed metal at
// 0.6, a lit-from-above edge and a deep drop shadow (which falls outside `rect`: leave about
// 18 points below and 6 on the sides when clipping).
struct BlackFaceplate {
    static constexpr qreal cornerRadius = 10;

    static QPainterPath shape(const QRectF& rect);
    // Panel and shadow; the panel is cached per size and device scale.
    static void paint(QPainter& painter, const QRectF& rect);
};

}  // namespace norvo
