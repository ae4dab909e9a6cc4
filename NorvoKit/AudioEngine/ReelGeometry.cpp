#include "AudioEngine/ReelGeometry.hpp"

#include <cmath>
#include <numbers>

#include "AudioEngine/TapeClock.hpp"

namespace norvo {

double ReelGeometry::thicknessCm() const {
    if (type.sideSeconds <= 2100) return 0.0018;
    if (type.sideSeconds <= 3000) return 0.0012;
    return 0.0009;
}

double ReelGeometry::packRadius(double lengthCm) const {
    const double length = lengthCm < 0 ? 0.0 : lengthCm;
    return std::sqrt(thicknessCm() * length / std::numbers::pi + hubRadiusCm * hubRadiusCm);
}

double ReelGeometry::fullRadius() const { return packRadius(static_cast<double>(type.sideSeconds) * tapeSpeedCm); }

double ReelGeometry::supplyRadius(int64_t frame) const {
    const double played = TapeClock::seconds(frame);
    return packRadius((static_cast<double>(type.sideSeconds) - played) * tapeSpeedCm);
}

double ReelGeometry::supplyTurns(int64_t frame) const { return (fullRadius() - supplyRadius(frame)) / thicknessCm(); }

double ReelGeometry::takeUpRadius(int64_t frame) const { return packRadius(TapeClock::seconds(frame) * tapeSpeedCm); }

double ReelGeometry::turns(int64_t frame) const { return (takeUpRadius(frame) - hubRadiusCm) / thicknessCm(); }

}  // namespace norvo
