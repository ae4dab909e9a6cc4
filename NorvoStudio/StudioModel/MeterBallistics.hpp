#pragma once

namespace norvo {

// The needles of the level meters: an instant rise, a limited fall and a peak marker
// that holds, then falls. Plain values, stepped once per tick.
struct MeterBallistics {
    static constexpr double floorDB = -60;
    static constexpr double releaseDBPerSecond = 20;
    static constexpr double peakHoldSeconds = 1.2;
    static constexpr double peakFallDBPerSecond = 30;

    struct Channel {
        double db = floorDB;
        double peakDB = floorDB;
        double peakAge = 0;

        // `level` is a peak magnitude (1 = full scale); zero, negative and NaN read as the floor.
        void step(float level, double dt);
        bool operator==(const Channel&) const = default;
    };

    struct Pair {
        Channel left;
        Channel right;
        bool operator==(const Pair&) const = default;
    };

    // 20 log10(level), never below the floor.
    static double decibels(float level);
};

}  // namespace norvo
