#pragma once
#include <functional>

class QWheelEvent;

namespace norvo {

// Turns the tuning knob's movement into whole detents: 12 points make one, the
// threshold inclusive. One accumulator serves the drag and the scroll wheel.
class DetentStepper {
public:
    static constexpr double pointsPerDetent = 12;

    // Adds movement (positive: clockwise) and calls `step` with +1 or -1 per detent.
    void feed(double movement, const std::function<void(int)>& step);
    void reset() { accumulated_ = 0; }
    double accumulated() const { return accumulated_; }

    // The movement of a wheel event in points: a touchpad's pixel delta as it is, a
    // wheel's 120-unit notch as one detent; the physical direction when the system
    // reports inverted (natural) scrolling.
    static double wheelMovement(const QWheelEvent& event);
    static double wheelMovement(double pixelDeltaY, double angleDeltaY, bool inverted);

private:
    double accumulated_ = 0;
};

}  // namespace norvo
