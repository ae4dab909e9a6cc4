#pragma once
#include <QColor>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <array>
#include <optional>

namespace norvo {

// The patch cables behind the rack: a red/white stereo pair from the player into the deck
// and one from the tuner into the deck. Pure geometry, so the shapes can be checked
// without drawing.
struct CableCurve {
    QPointF start;
    QPointF control1;
    QPointF control2;
    QPointF end;
    QColor colour;

    QPainterPath path() const;
};

// Player red, player white, tuner red, tuner white: the order they are drawn in.
std::array<CableCurve, 4> cableCurves(const QRectF& player, const QRectF& deck, const QRectF& tuner);

// Strokes the four cables (outline, colour, highlight) in drawing order.
void paintCables(QPainter& painter, const std::array<CableCurve, 4>& cables);

// The cable layer: draws nothing until all three devices have published their frames,
// and lets every click through to what lies beneath.
class LineCables final : public QWidget {
public:
    explicit LineCables(QWidget* parent = nullptr);

    void setFrames(std::optional<QRectF> player, std::optional<QRectF> deck, std::optional<QRectF> tuner);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<std::array<CableCurve, 4>> cables_;
    // The cables change only with the layout: drawn once into a picture, then blitted.
    QPixmap picture_;
};

}  // namespace norvo
