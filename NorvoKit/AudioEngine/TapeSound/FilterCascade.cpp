#include "AudioEngine/TapeSound/FilterCascade.hpp"

#include <cmath>
#include <stdexcept>

namespace norvo {

namespace {

// Well below anything audible, well above the subnormal range of double.
constexpr double antiDenormal = 1e-20;
constexpr double flushBelow = 1e-15;

inline double step(const BiquadCoefficients& c, double& z1, double& z2, double x) {
    double y = c.b0 * x + z1;
    z1 = c.b1 * x - c.a1 * y + z2;
    z2 = c.b2 * x - c.a2 * y;
    return y;
}

inline float flushed(double y) { return static_cast<float>(std::fabs(y) < flushBelow ? 0.0 : y); }

}  // namespace

void FilterCascade::add(const BiquadCoefficients& section) {
    if (count_ == maximumSections) throw std::logic_error("FilterCascade holds at most three sections");
    sections_[count_++] = section;
}

double FilterCascade::noisePowerGain(double sampleRate) const {
    // Two seconds of impulse response: the slowest section (a 10 Hz low cut) has long
    // decayed by then.
    const auto length = static_cast<long>(2 * sampleRate);
    std::array<State, maximumSections> state{};
    double energy = 0;
    for (long n = 0; n < length; ++n) {
        double x = n == 0 ? 1.0 : 0.0;
        for (int s = 0; s < count_; ++s) x = step(sections_[s], state[s].z1, state[s].z2, x);
        energy += x * x;
    }
    return energy;
}

void FilterCascade::reset() noexcept {
    left_ = {};
    right_ = {};
}

void FilterCascade::process(float* left, float* right, int frames) noexcept {
    // Local copies let the compiler keep the state in registers across the block.
    auto l = left_;
    auto r = right_;
    const auto sections = sections_;
    const int count = count_;
    for (int i = 0; i < frames; ++i) {
        double xl = left[i];
        double xr = right[i];
        for (int s = 0; s < count; ++s) {
            xl = step(sections[s], l[s].z1, l[s].z2, xl + antiDenormal);
            xr = step(sections[s], r[s].z1, r[s].z2, xr + antiDenormal);
        }
        left[i] = flushed(xl);
        right[i] = flushed(xr);
    }
    left_ = l;
    right_ = r;
}

}  // namespace norvo
