#pragma once
#include <cstdint>

#include "AudioEngine/CassetteType.hpp"

namespace norvo {

// Turns a head position into reel quantities: tape runs at 4.76 cm/s, the bare hub
// has a radius of 1.1 cm, and thinner tape is used for longer sides.
struct ReelGeometry {
    CassetteType type;

    static constexpr double tapeSpeedCm = 4.76;
    static constexpr double hubRadiusCm = 1.1;

    double thicknessCm() const;
    // Radius in cm of a pack holding `lengthCm` of tape (negative counts as 0).
    double packRadius(double lengthCm) const;
    double fullRadius() const;
    double supplyRadius(int64_t frame) const;
    double supplyTurns(int64_t frame) const;
    double takeUpRadius(int64_t frame) const;
    double turns(int64_t frame) const;

    bool operator==(const ReelGeometry&) const = default;
};

}  // namespace norvo
