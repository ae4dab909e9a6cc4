#pragma once

namespace norvo {

// A damped spring toward a target, stepped by the studio's frames: the needle and the
// knob's ridges move with it. `response` is the period of the undamped oscillation.
class Spring {
public:
    Spring(double response, double dampingFraction) : response_(response), damping_(dampingFraction) {}

    void setTarget(double target) { target_ = target; }
    // Jumps to a value and stays there.
    void reset(double value) {
        position_ = target_ = value;
        velocity_ = 0;
    }
    void step(double dt);

    double position() const { return position_; }
    double target() const { return target_; }
    bool settled() const;

private:
    double response_;
    double damping_;
    double position_ = 0;
    double velocity_ = 0;
    double target_ = 0;
};

}  // namespace norvo
