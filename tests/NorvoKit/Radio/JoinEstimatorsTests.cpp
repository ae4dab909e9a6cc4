#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "Radio/JoinEstimators.hpp"

namespace norvo {
namespace {

// Stations whose clocks run up to 500 ppm off ours, with drawn codec frames, network jitter
// and connections of 3-20 s, each beginning with a burst that comes at once, ending on a
// stall, and handing on a frame early now and then: the drift found never strays past the
// station's by much, and half a minute on a steady network mostly finds it.
TEST(LineDriftTest, FindsHowFastTheStationsClockRunsAgainstOurs) {
    std::mt19937_64 random(20261209);
    const auto uniform = [&](double from, double to) {
        return std::uniform_real_distribution<double>(from, to)(random);
    };
    double worstAstray = 0;
    std::vector<double> steadyErrors;
    for (int draw = 0; draw < 300; ++draw) {
        const double ppm = uniform(-500, 500), jitter = uniform(0, 0.03), frame = uniform(0.021, 0.128);
        LineDrift drift;
        double begins = 0, listened = 0;
        for (int c = 0, connections = 1 + int(uniform(0, 4)); c < connections; ++c) {
            const double length = uniform(3, 20), placed = uniform(-5000, 5000);
            listened += length;
            for (double k = -std::floor(1 / frame), last = begins; k * frame < length; ++k) {
                double at = begins + k * frame + uniform(0, jitter) - (uniform(0, 1) < 0.005 ? frame : 0);
                if (k < 0) at = begins + 0.05;
                if (k * frame > length - 0.5) at = std::max(at, begins + length - 0.2);
                at = last = std::max(last, at);
                drift.take(at, placed + 44100 * ((begins + k * frame) * (1 + ppm * 1e-6) - at), 0.375 * frame * 44100);
            }
            drift.restart();
            begins += length + uniform(1, 10);
        }
        const double found = drift.perSecond() / 44100 * 1e6;
        worstAstray = std::max(worstAstray, found * ppm < 0 ? std::abs(found) : std::abs(found) - std::abs(ppm));
        if (listened >= 30 && jitter < 0.015) steadyErrors.push_back(std::abs(found - ppm));
    }
    EXPECT_LT(worstAstray, 200);
    ASSERT_FALSE(steadyErrors.empty());
    std::nth_element(steadyErrors.begin(), steadyErrors.begin() + steadyErrors.size() / 2, steadyErrors.end());
    EXPECT_LT(steadyErrors[steadyErrors.size() / 2], 60);
}

}  // namespace
}  // namespace norvo
