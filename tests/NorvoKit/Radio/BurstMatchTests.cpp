#include "Radio/BurstMatch.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

namespace norvo {
namespace {

constexpr int64_t second = 44100;

// A station's audio: `signal(n)` for each stream position n.
std::vector<float> made(int64_t frames, const std::function<float(int64_t)>& signal) {
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (int64_t n = 0; n < frames; ++n) samples[static_cast<std::size_t>(n)] = signal(n);
    return samples;
}

std::vector<float> noise(int64_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    return made(frames, [&](int64_t) { return value(random); });
}

// The first `received` frames were heard; a reconnection re-sends from `burstFrom` on.
struct Reconnection {
    std::vector<float> audio;
    int64_t received;
    int64_t burstFrom;

    std::optional<BurstMatch::Found> find(BurstMatch::Limits limits) const {
        std::vector<float> ring(static_cast<std::size_t>(16 * second));
        for (int64_t n = 0; n < received; ++n)
            ring[static_cast<std::size_t>(n % int64_t(ring.size()))] = audio[static_cast<std::size_t>(n)];
        const std::vector<float> probe(audio.begin() + burstFrom, audio.begin() + burstFrom + BurstMatch::probeFrames);
        return BurstMatch::find({ring.data(), int64_t(ring.size()), received}, probe, limits);
    }
};

constexpr BurstMatch::Limits anywhere{.reach = 16 * second};

TEST(BurstMatch, NoiseMatchesWhereTheBurstBeginsAndNowhereElse) {
    const Reconnection reconnection{noise(10 * second, 1), 6 * second, 4 * second};
    const auto found = reconnection.find(anywhere);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->origin, 4 * second);
    EXPECT_FALSE(found->lookAlike);

    // A history longer than the ring keeps its positions.
    const Reconnection late{noise(30 * second, 2), 25 * second, 23 * second + 517};
    ASSERT_TRUE(late.find(anywhere));
    EXPECT_EQ(late.find(anywhere)->origin, 23 * second + 517);
}

TEST(BurstMatch, NothingFurtherBackThanTheReach) {
    const Reconnection reconnection{noise(10 * second, 3), 6 * second, 4 * second};
    EXPECT_FALSE(reconnection.find({.reach = 2 * second - 1}));
    EXPECT_TRUE(reconnection.find({.reach = 2 * second}));
}

TEST(BurstMatch, SilenceAndOtherAudioMatchNothing) {
    EXPECT_FALSE((Reconnection{std::vector<float>(10 * second, 0.0f), 6 * second, 4 * second}.find(anywhere)));
    std::vector<float> audio = noise(6 * second, 4);
    const std::vector<float> other = noise(4 * second, 5);
    audio.insert(audio.end(), other.begin(), other.end());
    EXPECT_FALSE((Reconnection{audio, 6 * second, 6 * second}.find(anywhere)));
}

TEST(BurstMatch, ATonesEqualPeriodsGoToTheOneNearestThePrediction) {
    // 441 Hz: every 100 frames the same samples, so every period matches exactly.
    const auto tone = made(10 * second, [](int64_t n) {
        return 0.5f * float(std::sin(2 * std::numbers::pi * double(n % 100) / 100));
    });
    const Reconnection reconnection{tone, 6 * second, 4 * second};

    // Without a prediction, the least overlap the short window can see, on a period.
    const auto latest = reconnection.find(anywhere);
    ASSERT_TRUE(latest);
    EXPECT_EQ(6 * second - latest->origin, 22100);
    EXPECT_EQ(latest->lookAlike, 100);

    // Neither the latest nor the earliest: the period nearest where the timing says.
    for (const int64_t off : {-2000, -49, 0, 49, 2000}) {
        const auto timed =
            reconnection.find({.reach = 16 * second, .predicted = 4 * second + off, .tolerance = second});
        ASSERT_TRUE(timed);
        EXPECT_EQ(timed->origin, 4 * second + off / 100 * 100) << off;
    }
    // The timing points at audio too recent for the match to see: none of the periods.
    EXPECT_FALSE(reconnection.find({.reach = 16 * second, .predicted = 6 * second - 1000, .tolerance = second}));
}

TEST(BurstMatch, ALoopTheTimingMissedGoesToTheLookAlikeNearestItOnlyWhereThatIsNearerThanTheOthers) {
    const std::vector<float> loop = noise(2 * second, 8);
    const Reconnection reconnection{made(16 * second, [&](int64_t n) { return loop[std::size_t(n % (2 * second))]; }),
                                    14 * second, 10 * second};
    const auto at = [&](int64_t off) {
        return reconnection.find({.reach = 16 * second, .predicted = 10 * second + off, .tolerance = second / 4});
    };
    for (const int64_t off : {-second * 7 / 10, second * 6 / 10}) {
        ASSERT_TRUE(at(off)) << off;
        EXPECT_EQ(at(off)->origin, 10 * second) << off;
        EXPECT_FALSE(at(off)->timed) << off;
    }
    EXPECT_FALSE(at(second)) << "halfway between two look-alikes";
}

TEST(BurstMatch, NearThePredictionALikeMatchBeatsAnExactOneElsewhere) {
    // Resampled from another phase, the burst matches its true place only nearly; a loop of
    // it received earlier happens to match exactly.
    const std::vector<float> probe = noise(BurstMatch::probeFrames, 6);
    std::vector<float> history = noise(16 * second, 7);
    std::copy(probe.begin(), probe.end(), history.begin() + second);
    for (std::size_t i = 0; i < probe.size(); ++i) history[4 * second + i] = probe[i] + 0.01f * float(int(i % 7) - 3);
    const BurstMatch::History received{history.data(), 16 * second, 6 * second};

    const auto timed = BurstMatch::find(received, probe,
                                        {.reach = 16 * second, .predicted = 4 * second + 300, .tolerance = second / 4});
    ASSERT_TRUE(timed);
    EXPECT_EQ(timed->origin, 4 * second);
    EXPECT_TRUE(timed->timed);
    // With no timing at all, the exact one.
    EXPECT_EQ(BurstMatch::find(received, probe, anywhere)->origin, second);
}

TEST(BurstMatch, AudioThatOnlyRisesByALevelIsToldApartFromItsEarlierPeriods) {
    // A sawtooth of 0.1 s climbing a small step each period, as a time code might: every
    // period correlates perfectly with every other, only the level tells them apart.
    const auto staircase = made(10 * second, [](int64_t n) {
        return -0.4f + float(n % 4410) / 4410.0f * 0.5f + 0.002f * float(n / 4410);
    });
    const Reconnection reconnection{staircase, 6 * second, 4 * second + 1000};
    const auto found = reconnection.find(anywhere);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->origin, 4 * second + 1000);
    EXPECT_FALSE(found->lookAlike);
}

}  // namespace
}  // namespace norvo
