#include <cmath>
#include <limits>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "StudioModel/FormatTapeTime.hpp"
#include "StudioModel/LiveDeck.hpp"
#include "StudioModel/MeterBallistics.hpp"

namespace norvo {
namespace {

struct LevelCase {
    float level;
    double db;
};

class MeterLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(MeterLevelTest, RisesAtOnceToTheLevelInDecibelsWithAFloor) {
    MeterBallistics::Channel channel;
    channel.step(GetParam().level, 0);
    EXPECT_NEAR(channel.db, GetParam().db, 1e-5);
    EXPECT_NEAR(channel.peakDB, GetParam().db, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Levels, MeterLevelTest,
                         ::testing::Values(LevelCase{1.0f, 0}, LevelCase{0.5f, 20 * std::log10(0.5)},
                                           LevelCase{0.001f, -60}, LevelCase{0.0001f, -60}, LevelCase{0.0f, -60},
                                           LevelCase{-1.0f, -60},
                                           LevelCase{std::numeric_limits<float>::quiet_NaN(), -60}));

TEST(MeterBallisticsTest, NeedleFallsTwentyDecibelsPerSecondAndThePeakHoldsThenFalls) {
    MeterBallistics::Channel channel;
    channel.step(1.0f, 1.0 / 60);
    for (int i = 0; i < 30; ++i) channel.step(0.0f, 1.0 / 60);
    EXPECT_NEAR(channel.db, -10, 1e-9);
    EXPECT_EQ(channel.peakDB, 0);

    // Held until 1.2 s have passed, then 30 dB/s, never below the needle.
    for (int i = 0; i < 40; ++i) channel.step(0.0f, 1.0 / 60);
    EXPECT_NEAR(channel.peakAge, 70.0 / 60, 1e-9);
    EXPECT_EQ(channel.peakDB, 0);
    // Ten more steps: eight or nine of them (1.2 s itself is a rounding question) fall by 0.5 dB.
    for (int i = 0; i < 10; ++i) channel.step(0.0f, 1.0 / 60);
    EXPECT_GE(channel.peakDB, -4.5 - 1e-9);
    EXPECT_LE(channel.peakDB, -4.0 + 1e-9);
    for (int i = 0; i < 600; ++i) {
        channel.step(0.0f, 1.0 / 60);
        ASSERT_GE(channel.peakDB, channel.db);
    }
    EXPECT_EQ(channel.db, -60);
    EXPECT_EQ(channel.peakDB, -60);
}

TEST(MeterBallisticsTest, AZeroStepRaisesButLetsNothingFallAndAnEqualPeakRestartsTheHold) {
    MeterBallistics::Channel channel;
    channel.step(0.5f, 0);
    channel.step(0.0f, 0);
    EXPECT_NEAR(channel.db, 20 * std::log10(0.5), 1e-9);

    channel.step(0.5f, 1.0);
    channel.step(0.1f, 1.0);
    EXPECT_EQ(channel.peakAge, 1.0);
    channel.step(0.5f, 0.5);
    EXPECT_EQ(channel.peakAge, 0);
}

TEST(LiveDeckTest, PublishesAnEqualSnapshotOnceButTheMetersOnEveryUpdate) {
    CoreSnapshot snapshot;
    LiveDeck live(snapshot);
    QSignalSpy snapshots(&live, &LiveDeck::snapshotChanged);
    QSignalSpy meters(&live, &LiveDeck::deckMeterChanged);

    snapshot.deckLevel = {1.0f, 0.5f};
    snapshot.tunerLevel = {0.1f, 0.0f};
    live.update(snapshot, 1.0 / 60);
    live.update(snapshot, 1.0 / 60);
    EXPECT_EQ(snapshots.count(), 1);
    EXPECT_EQ(meters.count(), 2);
    EXPECT_EQ(live.deckMeter().left.db, 0);
    EXPECT_NEAR(live.deckMeter().right.db, 20 * std::log10(0.5), 1e-6);
    EXPECT_NEAR(live.tunerMeter().left.db, -20, 1e-5);
    EXPECT_EQ(live.sourceMeter(), MeterBallistics::Pair{});
}

struct TimeCase {
    int64_t frames;
    const char* text;
};

class FormatTapeTimeTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(FormatTapeTimeTest, WholeSecondsTruncated) {
    EXPECT_EQ(formatTapeTime(GetParam().frames).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Times, FormatTapeTimeTest,
                         ::testing::Values(TimeCase{0, "0:00"}, TimeCase{44099, "0:00"}, TimeCase{95 * 44100, "1:35"},
                                           TimeCase{3599LL * 44100, "59:59"}, TimeCase{3600LL * 44100, "1:00:00"},
                                           TimeCase{3725LL * 44100, "1:02:05"}, TimeCase{400000LL * 44100, "111:06:40"},
                                           TimeCase{-95 * 44100, "-1:-35"}));

}  // namespace
}  // namespace norvo
