#pragma once
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QSize>
#include <functional>

namespace norvo {

// What never changes on a face (metal, glass, lettering), drawn once per size and device
// scale, then copied back rect by rect for whatever a repaint dirtied.
class StaticLayer {
public:
    // Copies the layer under `dirty` onto `painter`, drawing it first with `draw` (in the
    // face's design points) when the size or the painter's device scale changed.
    void paint(QPainter& painter, QSize size, const QRegion& dirty, const std::function<void(QPainter&)>& draw);
    // The next paint draws the layer again.
    void invalidate() { pixmap_ = QPixmap(); }

private:
    QPixmap pixmap_;
    QSize size_;
    qreal ratio_ = 0;
};

}  // namespace norvo
