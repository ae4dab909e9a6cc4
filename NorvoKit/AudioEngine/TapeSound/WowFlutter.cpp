#include "AudioEngine/TapeSound/WowFlutter.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace norvo {

namespace {

double amplitude(double depth, double rateHz, double sampleRate) {
    return depth > 0 ? depth * sampleRate / (2 * std::numbers::pi * rateHz) : 0.0;
}

inline float catmullRom(float xm1, float x0, float x1, float x2, float t) {
    float c1 = 0.5f * (x1 - xm1);
    float c2 = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
    float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
    return ((c3 * t + c2) * t + c1) * t + x0;
}

}  // namespace

WowFlutter::WowFlutter(double wowDepth, double wowRateHz, double flutterDepth, double flutterRateHz, double sampleRate)
    : wow_(wowRateHz, sampleRate),
      flutter_(flutterRateHz, sampleRate),
      wowAmplitude_(amplitude(wowDepth, wowRateHz, sampleRate)),
      flutterAmplitude_(amplitude(flutterDepth, flutterRateHz, sampleRate)),
      baseDelay_(wowAmplitude_ + flutterAmplitude_ + 3) {
    // Room for the largest delay, the interpolation's neighbours and a margin.
    auto size = std::bit_ceil(static_cast<unsigned>(std::ceil(2 * baseDelay_)) + 8u);
    left_.assign(size, 0.0f);
    right_.assign(size, 0.0f);
    mask_ = static_cast<int>(size - 1);
}

void WowFlutter::reset() noexcept {
    wow_.reset();
    flutter_.reset();
    std::fill(left_.begin(), left_.end(), 0.0f);
    std::fill(right_.begin(), right_.end(), 0.0f);
    write_ = 0;
}

void WowFlutter::process(float* left, float* right, int frames) noexcept {
    const double size = static_cast<double>(mask_ + 1);
    for (int i = 0; i < frames; ++i) {
        left_[write_] = left[i];
        right_[write_] = right[i];
        double delay = baseDelay_ + wowAmplitude_ * wow_.next() + flutterAmplitude_ * flutter_.next();
        // Adding the size keeps the position positive; the mask wraps it back.
        double position = write_ - delay + size;
        auto whole = static_cast<int>(position);
        auto t = static_cast<float>(position - whole);
        int im1 = (whole - 1) & mask_, i0 = whole & mask_, i1 = (whole + 1) & mask_, i2 = (whole + 2) & mask_;
        left[i] = catmullRom(left_[im1], left_[i0], left_[i1], left_[i2], t);
        right[i] = catmullRom(right_[im1], right_[i0], right_[i1], right_[i2], t);
        write_ = (write_ + 1) & mask_;
    }
}

}  // namespace norvo
