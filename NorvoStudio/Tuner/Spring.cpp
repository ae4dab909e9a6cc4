#include "Tuner/Spring.hpp"

#include <algorithm>
#include <cmath>

namespace norvo {

void Spring::step(double dt) {
    if (!(dt > 0)) return;
    dt = std::min(dt, 0.1);
    const double omega = 2 * M_PI / response_;
    const double stiffness = omega * omega;
    const double friction = 2 * damping_ * omega;
    // Small sub-steps keep the explicit integration stable at any frame rate.
    const int steps = std::max(1, int(std::ceil(dt / 0.004)));
    const double h = dt / steps;
    for (int i = 0; i < steps; ++i) {
        const double acceleration = -stiffness * (position_ - target_) - friction * velocity_;
        velocity_ += acceleration * h;
        position_ += velocity_ * h;
    }
    if (settled()) reset(target_);
}

bool Spring::settled() const { return std::abs(position_ - target_) < 1e-3 && std::abs(velocity_) < 1e-3; }

}  // namespace norvo
