#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "Radio/JoinEstimators.hpp"

namespace norvo {
namespace {

// Stations whose clocks run up to 500 ppm off ours, drawn with their codec frames, the
// network's jitter and connections of a few seconds to twenty: each connection begins
// with a burst that comes at once, ends on a stall, and hands on a frame early now and
// then. The drift found never strays past the station's by more than a little, and half
// a minute on a steady network mostly finds it.
TEST(LineDriftTest, FindsHowFastTheStationsClockRunsAgainstOurs) {
    std::mt19937_64 random(20261209);
    const auto uniform = [&](double from, double to) {
        return std::uniform_real_distribution<double>(from, to)(random);
    };
    double worstAstray = 0;
    std::vector<double> longErrors;
    for (int draw = 0; draw < 300; ++draw) {
        const double ppm = uniform(-500, 500), jitter = uniform(0, 0.03), frame = uniform(0.021, 0.128);
        const int connections = 1 + int(uniform(0, 4));
        LineDrift drift;
        double begins = 0, listened = 0;
        for (int c = 0; c < connections; ++c) {
            const double length = uniform(3, 20), placed = uniform(-5000, 5000);
            listened += length;
            double last = begins;
            for (int k = -int(1 / frame); k * frame < length; ++k) {
                double at = begins + k * frame + uniform(0, jitter);
                if (uniform(0, 1) < 0.005) at -= frame;
                if (k < 0) at = begins + 0.05;
                if (k * frame > length - 0.5) at = std::max(at, begins + length - 0.2);
                at = last = std::max(last, at);
                const double line = placed + 44100 * (begins + k * frame) * (1 + ppm * 1e-6) - 44100 * at;
                drift.take(at, line, 0.375 * frame * 44100);
            }
            drift.restart();
            begins += length + uniform(1, 10);
        }
        const double found = drift.perSecond() / 44100 * 1e6;
        worstAstray = std::max(worstAstray, found * ppm < 0 ? std::abs(found) : std::abs(found) - std::abs(ppm));
        if (listened >= 30 && jitter < 0.015) longErrors.push_back(std::abs(found - ppm));
    }
    std::sort(longErrors.begin(), longErrors.end());
    EXPECT_LT(worstAstray, 200);
    ASSERT_FALSE(longErrors.empty());
    EXPECT_LT(longErrors[longErrors.size() / 2], 60);
}

}  // namespace
}  // namespace norvo
