#pragma once
#include <QPainterPath>
#include <QPixmap>
#include <QSizeF>
#include <vector>

class QPainter;

namespace norvo {

// The rack's wood background: a brown gradient with fixed-seed grain lines, identical on
// every redraw for a given size.
struct WoodGrainLine {
    double width = 0;
    double opacity = 0;
    double y = 0;  // where the line starts on the left edge
    QPainterPath path;
};

class WoodGrain {
public:
    static std::vector<WoodGrainLine> lines(QSizeF size);
    // Gradient and grain, drawn directly.
    static void paint(QPainter& painter, QSizeF size);
    // The same, cached per size and device pixel ratio: the wood never changes on a tick.
    QPixmap pixmap(QSizeF size, double devicePixelRatio);

private:
    QPixmap cache_;
    QSizeF cachedSize_;
    double cachedRatio_ = 0;
};

}  // namespace norvo
