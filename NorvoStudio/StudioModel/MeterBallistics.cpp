#include "StudioModel/MeterBallistics.hpp"

#include <algorithm>
#include <cmath>

namespace norvo {

double MeterBallistics::decibels(float level) {
    // NaN fails the comparison and lands on the floor with silence.
    if (!(level > 0)) return floorDB;
    return std::max(20.0 * std::log10(static_cast<double>(level)), floorDB);
}

void MeterBallistics::Channel::step(float level, double dt) {
    const double levelDB = decibels(level);
    if (levelDB > db) db = levelDB;
    else db = std::max(levelDB, db - releaseDBPerSecond * dt);

    if (levelDB >= peakDB) {
        peakDB = levelDB;
        peakAge = 0;
    } else {
        peakAge += dt;
        if (peakAge > peakHoldSeconds) peakDB = std::max(db, peakDB - peakFallDBPerSecond * dt);
    }
}

}  // namespace norvo
