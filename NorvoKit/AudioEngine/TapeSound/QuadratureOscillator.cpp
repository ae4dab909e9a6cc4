#include "AudioEngine/TapeSound/QuadratureOscillator.hpp"

#include <cmath>
#include <numbers>

namespace norvo {

QuadratureOscillator::QuadratureOscillator(double frequency, double sampleRate)
    : step_(2 * std::numbers::pi * frequency / sampleRate), cosStep_(std::cos(step_)), sinStep_(std::sin(step_)) {}

void QuadratureOscillator::reset() noexcept {
    cosine_ = 1;
    sine_ = 0;
    count_ = 0;
}

void QuadratureOscillator::resync() noexcept {
    double phase = std::fmod(step_ * static_cast<double>(count_), 2 * std::numbers::pi);
    cosine_ = std::cos(phase);
    sine_ = std::sin(phase);
}

}  // namespace norvo
