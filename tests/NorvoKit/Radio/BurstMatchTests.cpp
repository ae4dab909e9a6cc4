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

constexpr BurstMatch::Limits anywhere{.reach = 16 * second, .overlapAtLeast = 0};

TEST(BurstMatch, NoiseMatchesWhereTheBurstBeginsAndNowhereElse) {
    const Reconnection reconnection{noise(10 * second, 1), 6 * second, 4 * second};
    const auto found = reconnection.find(anywhere);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->origin, 4 * second);
    EXPECT_FALSE(found->alternatives);

    // A history longer than the ring keeps its positions.
    const Reconnection late{noise(30 * second, 2), 25 * second, 23 * second + 517};
    ASSERT_TRUE(late.find(anywhere));
    EXPECT_EQ(late.find(anywhere)->origin, 23 * second + 517);
}

TEST(BurstMatch, NothingFurtherBackThanTheReach) {
    const Reconnection reconnection{noise(10 * second, 3), 6 * second, 4 * second};
    EXPECT_FALSE(reconnection.find({.reach = 2 * second - 1, .overlapAtLeast = 0}));
    EXPECT_TRUE(reconnection.find({.reach = 2 * second, .overlapAtLeast = 0}));
}

TEST(BurstMatch, SilenceAndOtherAudioMatchNothing) {
    EXPECT_FALSE((Reconnection{std::vector<float>(10 * second, 0.0f), 6 * second, 4 * second}.find(anywhere)));
    std::vector<float> audio = noise(6 * second, 4);
    const std::vector<float> other = noise(4 * second, 5);
    audio.insert(audio.end(), other.begin(), other.end());
    EXPECT_FALSE((Reconnection{audio, 6 * second, 6 * second}.find(anywhere)));
}

TEST(BurstMatch, ATonesEqualPeriodsGoToTheLatestThatOverlapsAsMuchAsTheTimingSays) {
    // 441 Hz: every 100 frames the same samples, so every period matches exactly.
    const auto tone = made(10 * second, [](int64_t n) {
        return 0.5f * float(std::sin(2 * std::numbers::pi * double(n % 100) / 100));
    });
    const Reconnection reconnection{tone, 6 * second, 4 * second};

    // Without timing, the least overlap the short window can see, on a period.
    const auto latest = reconnection.find(anywhere);
    ASSERT_TRUE(latest);
    EXPECT_EQ(6 * second - latest->origin, 22100);
    EXPECT_TRUE(latest->alternatives);

    // The burst came two seconds ahead of the live stream, less some slack: the period at
    // two seconds, and not one further back.
    const auto timed = reconnection.find({.reach = 16 * second, .overlapAtLeast = 2 * second - 60});
    ASSERT_TRUE(timed);
    EXPECT_EQ(timed->origin, 4 * second);
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
    EXPECT_FALSE(found->alternatives);
}

}  // namespace
}  // namespace norvo
