#pragma once
#include <optional>

namespace norvo {

// The arithmetic of a knob: a vertical drag sets the value it began at plus the upward travel
// over 150 points, clamped to 0...1; the pointer stands at value × 270 − 135 degrees.
class KnobDrag {
public:
    static constexpr double travel = 150;

    // Degrees clockwise from straight up; the value is used as is, without clamping.
    static double pointerAngle(double value) { return value * 270.0 - 135.0; }

    // A change of the drag with `translationY` points of travel (down positive) since it began:
    // latches the start value on the first change; returns the value to write.
    double changed(double currentValue, double translationY);
    // The end of the drag: forgets the start.
    void ended() { dragStart_.reset(); }

    std::optional<double> dragStart() const { return dragStart_; }

private:
    std::optional<double> dragStart_;
};

}  // namespace norvo
