#include "Tuner/DetentStepper.hpp"

#include <QWheelEvent>
#include <cmath>

namespace norvo {

void DetentStepper::feed(double movement, const std::function<void(int)>& step) {
    if (!std::isfinite(movement)) return;
    accumulated_ += movement;
    while (accumulated_ >= pointsPerDetent) {
        accumulated_ -= pointsPerDetent;
        step(+1);
    }
    while (accumulated_ <= -pointsPerDetent) {
        accumulated_ += pointsPerDetent;
        step(-1);
    }
}

double DetentStepper::wheelMovement(double pixelDeltaY, double angleDeltaY, bool inverted) {
    const double movement = pixelDeltaY != 0 ? pixelDeltaY : angleDeltaY / 120.0 * pointsPerDetent;
    return inverted ? -movement : movement;
}

double DetentStepper::wheelMovement(const QWheelEvent& event) {
    return wheelMovement(event.pixelDelta().y(), event.angleDelta().y(), event.inverted());
}

}  // namespace norvo
