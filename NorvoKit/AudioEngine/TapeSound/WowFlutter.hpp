#pragma once
#include <vector>

#include "AudioEngine/TapeSound/QuadratureOscillator.hpp"

namespace norvo {

// Uneven tape speed: both channels are read from a delay line whose delay swings with
// a slow (wow) and a fast (flutter) sine. A delay d(t) shifts the pitch by -d'(t), so an
// amplitude of depth / (2π·rate/fs) samples gives a peak speed deviation of `depth`.
// Reads use cubic (Catmull-Rom) interpolation.
class WowFlutter {
public:
    // Depths are fractions (0.005 for 0.5 %).
    WowFlutter(double wowDepth, double wowRateHz, double flutterDepth, double flutterRateHz, double sampleRate);

    // The mean delay the stage adds, in samples.
    double latency() const { return baseDelay_; }

    void reset() noexcept;
    void process(float* left, float* right, int frames) noexcept;

private:
    QuadratureOscillator wow_;
    QuadratureOscillator flutter_;
    double wowAmplitude_;      // samples
    double flutterAmplitude_;  // samples
    double baseDelay_;         // samples; keeps the delay at 2 or more, as the interpolation needs
    std::vector<float> left_;
    std::vector<float> right_;
    int mask_;
    int write_ = 0;
};

}  // namespace norvo
