#pragma once
#include <QWidget>
#include <functional>

#include "Kit/ValuePicture.hpp"
#include "Tuner/DetentStepper.hpp"
#include "Tuner/Haptics.hpp"
#include "Tuner/Spring.hpp"

namespace norvo {

// The RO-01's tuning knob: ridged metal with a finger dimple, turned by dragging across
// it or by the scroll wheel over it; every 12 points of movement is one detent, one call
// of onTurn with +1 (clockwise: right, up) or -1. Ridges and dimple follow `detents`.
class TuningKnob final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal degreesPerDetent = 12;
    static constexpr qreal labelSpacing = 4;
    static constexpr int shadowRoom = 6;

    // Drawn at `detents` from the first paint; later changes turn it with the spring.
    TuningKnob(qreal size, int64_t detents, Haptics& haptics, QWidget* parent = nullptr);

    std::function<void(int)> onTurn;

    // The count to draw; a change turns the ridges with a spring.
    void setDetents(int64_t detents);
    int64_t detents() const { return detents_; }
    // Frames of the studio move the spring.
    void tick(double dt);
    double drawnAngle() const { return angle_.position() * degreesPerDetent; }
    const DetentStepper& stepper() const { return stepper_; }

    QRectF knobRect() const;
    QSizeF layoutSize() const;
    void setLayoutGeometry(const QRect& layout);
    QSize sizeHint() const override;

    // Pure painting of the knob face at a rotation.
    static void paintKnob(QPainter& painter, const QRectF& square, double degrees);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void leaveEvent(QEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    bool overKnob(QPointF point) const;
    // A drag taps the haptics at each detent; the wheel does not.
    enum class Feedback { none, haptic };
    void turn(double movement, Feedback feedback);

    qreal size_;
    Haptics& haptics_;
    int64_t detents_ = 0;
    Spring angle_{0.22, 0.8};
    ValuePicture<double> picture_;  // at the drawn angle
    DetentStepper stepper_;
    bool dragging_ = false;
    QPointF dragStart_;
    double dragTravel_ = 0;
};

}  // namespace norvo
