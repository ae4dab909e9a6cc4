#pragma once
#include <cmath>
#include <cstdint>

namespace norvo {

// The engine's one timeline: every head position, side length and player position
// is a count of frames at this rate.
struct TapeClock {
    static constexpr int64_t framesPerSecond = 44100;
    static constexpr double sampleRate = 44100.0;

    // Rounds half away from zero (0.05 s gives 2205).
    static int64_t frames(double seconds) { return static_cast<int64_t>(std::llround(seconds * sampleRate)); }
    static double seconds(int64_t frames) { return static_cast<double>(frames) / sampleRate; }
};

}  // namespace norvo
