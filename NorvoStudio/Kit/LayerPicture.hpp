#pragma once
#include <QPainter>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <functional>

namespace norvo {

// A drawing that moves and fades as one picture. Drawn piece by piece at an opacity, every
// piece would let what it covers show through it (a cassette's reels through its label);
// drawn once into a layer at the painter's device scale, the layer is then copied wherever it
// is, at the painter's opacity, without being drawn again while it moves.
class LayerPicture {
public:
    // Draws what `draw` paints inside `bounds` (its own coordinates) moved by `offset`, from the
    // layer while the bounds and the painter's scale stay. What it shows is its owner's to key
    // (KeyedPicture): the layer is cleared when that changes.
    void paint(QPainter& painter, const QRectF& bounds, QPointF offset, const std::function<void(QPainter&)>& draw);
    // Lets the layer go (when nothing is moving any more).
    void clear() { pixmap_ = QPixmap(); }
    // How often the layer was drawn anew (for tests).
    int renders() const { return renders_; }

private:
    QPixmap pixmap_;
    QRectF bounds_;
    qreal scale_ = 0;
    int renders_ = 0;
};

}  // namespace norvo
