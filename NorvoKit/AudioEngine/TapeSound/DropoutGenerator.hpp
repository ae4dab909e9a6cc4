#pragma once
#include <cstdint>

#include "AudioEngine/TapeSound/NoiseGenerator.hpp"

namespace norvo {

// Random dips in level where the oxide is thin: at random times (on average the set
// number per minute), a raised-cosine dip of 0.5 to 1.5 times the set duration and half
// to all of the set depth, applied to both channels alike.
class DropoutGenerator {
public:
    DropoutGenerator(double perMinute, double depthDb, double durationMs, double sampleRate);

    void reset() noexcept;
    void process(float* left, float* right, int frames) noexcept;

private:
    void scheduleNext() noexcept;
    void begin() noexcept;

    double meanGap_;       // samples between the end of one dip and the start of the next
    double meanDuration_;  // samples
    double depthDb_;
    NoiseGenerator random_;

    int64_t untilNext_ = 0;  // samples before the next dip starts
    int64_t remaining_ = 0;  // samples left in the current dip; 0 outside one
    double dipDepth_ = 0;    // 1 - the gain at the bottom of the current dip
    // cos(2πn/L) by recurrence: c = cos at n, previous = cos at n-1, twiceCos = 2cos(2π/L).
    double cosine_ = 1, previousCosine_ = 1, twiceCosStep_ = 2;
};

}  // namespace norvo
