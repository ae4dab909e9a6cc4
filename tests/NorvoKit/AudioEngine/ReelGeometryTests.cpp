#include "AudioEngine/ReelGeometry.hpp"

#include <gtest/gtest.h>
#include <ostream>

#include "AudioEngine/TapeClock.hpp"

namespace norvo {
namespace {

struct ReelCase {
    CassetteType type;
    double fullRadiusMm;
};

std::ostream& operator<<(std::ostream& out, const ReelCase& c) { return out << c.type.name; }

class ReelGeometryPerType : public ::testing::TestWithParam<ReelCase> {};

TEST_P(ReelGeometryPerType, FullPackRadius) {
    const ReelGeometry reel{GetParam().type};
    EXPECT_NEAR(reel.fullRadius() * 10, GetParam().fullRadiusMm, 1e-4);
}

TEST_P(ReelGeometryPerType, PacksTradePlacesOverTheSide) {
    const ReelGeometry reel{GetParam().type};
    const int64_t end = GetParam().type.sideFrames();
    EXPECT_DOUBLE_EQ(reel.supplyRadius(0), reel.fullRadius());
    EXPECT_DOUBLE_EQ(reel.takeUpRadius(0), ReelGeometry::hubRadiusCm);
    EXPECT_NEAR(reel.supplyRadius(end), ReelGeometry::hubRadiusCm, 1e-12);
    EXPECT_NEAR(reel.takeUpRadius(end), reel.fullRadius(), 1e-12);
    EXPECT_DOUBLE_EQ(reel.turns(0), 0);
    EXPECT_DOUBLE_EQ(reel.supplyTurns(0), 0);
    // Both reels have made as many turns at the end as the tape holds.
    EXPECT_NEAR(reel.turns(end), reel.supplyTurns(end), 1e-6);

    // Half the tape on the take-up reel is not half the radius: the pack is an area.
    const double half = reel.takeUpRadius(end / 2);
    EXPECT_NEAR(half * half - 1.21, (reel.fullRadius() * reel.fullRadius() - 1.21) / 2, 1e-9);
    EXPECT_NEAR(reel.supplyRadius(end / 2), half, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(ReelGeometry, ReelGeometryPerType,
                         ::testing::Values(ReelCase{{"C46", 1380}, 22.3017}, ReelCase{{"C60", 1800}, 24.7368},
                                           ReelCase{{"C90", 2700}, 24.7368}, ReelCase{{"C120", 3600}, 24.7368}),
                         [](const auto& info) { return info.param.type.name; });

TEST(ReelGeometry, ThicknessFollowsTheSideLength) {
    EXPECT_EQ((ReelGeometry{CassetteType::custom(2100)}.thicknessCm()), 0.0018);
    EXPECT_EQ((ReelGeometry{CassetteType::custom(2101)}.thicknessCm()), 0.0012);
    EXPECT_EQ((ReelGeometry{CassetteType::custom(3000)}.thicknessCm()), 0.0012);
    EXPECT_EQ((ReelGeometry{CassetteType::custom(3001)}.thicknessCm()), 0.0009);
}

TEST(ReelGeometry, C60EndOfSideTakeUpTurns) {
    const ReelGeometry reel{CassetteType::c60()};
    EXPECT_NEAR(reel.turns(CassetteType::c60().sideFrames()), 763.157, 1e-3);
    EXPECT_NEAR(reel.turns(TapeClock::frames(60)), (reel.packRadius(60 * 4.76) - 1.1) / 0.0018, 1e-9);
}

TEST(ReelGeometry, NegativeLengthsCountAsNoTape) {
    const ReelGeometry reel{CassetteType::c60()};
    EXPECT_DOUBLE_EQ(reel.packRadius(-10), 1.1);
    EXPECT_DOUBLE_EQ(reel.turns(-44100), 0);
    EXPECT_DOUBLE_EQ(reel.takeUpRadius(-1), 1.1);
    EXPECT_DOUBLE_EQ(reel.supplyRadius(reel.type.sideFrames() + 44100), 1.1) << "past the end";
}

}  // namespace
}  // namespace norvo
