#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <numbers>
#include <span>
#include <vector>

#include "AudioEngine/TapeSound/NoiseGenerator.hpp"
#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"
#include "Support/SignalMeasure.hpp"

namespace norvo {
namespace {

constexpr double rate = 44100;

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

Stereo sine(double frequency, double amplitude, double seconds, double sampleRate = rate) {
    auto frames = static_cast<std::size_t>(seconds * sampleRate);
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i)
        s.left[i] = s.right[i] =
            static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * double(i) / sampleRate));
    return s;
}

Stereo noise(double amplitude, double seconds, uint64_t seed = 42) {
    auto frames = static_cast<std::size_t>(seconds * rate);
    NoiseGenerator random(seed);
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
        s.left[i] = static_cast<float>(amplitude * (2 * random.unit() - 1));
        s.right[i] = static_cast<float>(amplitude * (2 * random.unit() - 1));
    }
    return s;
}

Stereo silence(double seconds) {
    auto frames = static_cast<std::size_t>(seconds * rate);
    return {std::vector<float>(frames), std::vector<float>(frames)};
}

void run(TapeSoundProcessor& processor, Stereo& audio, int chunk = 4096) {
    auto frames = static_cast<int>(audio.left.size());
    for (int done = 0; done < frames; done += chunk)
        processor.process(audio.left.data() + done, audio.right.data() + done, std::min(chunk, frames - done));
}

Stereo rendered(const TapeSoundSettings& settings, Stereo audio, double sampleRate = rate) {
    TapeSoundProcessor processor(settings, sampleRate);
    run(processor, audio);
    return audio;
}

// The part after `seconds`, once filters and delay lines have settled.
std::span<const float> after(const std::vector<float>& samples, double seconds, double sampleRate = rate) {
    auto skip = static_cast<std::size_t>(seconds * sampleRate);
    return std::span<const float>(samples).subspan(skip);
}

double dB(double ratio) { return 20 * std::log10(ratio); }

// Gain in dB of a sine at `frequency`, measured on the left channel.
double toneGainDb(const TapeSoundSettings& settings, double frequency) {
    const double amplitude = 0.25;
    // Long enough for ten cycles of the lowest tone after one second of settling.
    double seconds = 1.0 + std::max(0.5, 10.0 / frequency);
    Stereo out = rendered(settings, sine(frequency, amplitude, seconds));
    return dB(test::toneAmplitude(after(out.left, 1.0), frequency) / amplitude);
}

// Phase of the tone at `frequency` (radians), Hann-windowed.
double tonePhase(std::span<const float> samples, double frequency, double sampleRate) {
    std::complex<double> sum;
    const double n = double(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / (n - 1));
        sum +=
            window * double(samples[i]) * std::polar(1.0, -2 * std::numbers::pi * frequency * double(i) / sampleRate);
    }
    return std::arg(sum);
}

TEST(TapeSoundProcessor, NeutralSettingsPassAudioThroughUntouched) {
    TapeSoundSettings neutral;
    neutral.wowRateHz = 3;
    neutral.flutterRateHz = 20;
    neutral.dropoutsPerMinute = 30;
    neutral.dropoutDepthDb = 0;
    neutral.headBumpFrequencyHz = 150;
    TapeSoundProcessor processor(neutral);
    EXPECT_TRUE(processor.isBypass());

    Stereo input = noise(1.5, 0.2);
    input.left[3] = std::numeric_limits<float>::denorm_min();
    input.right[7] = std::numeric_limits<float>::quiet_NaN();
    Stereo output = input;
    run(processor, output);
    EXPECT_EQ(std::memcmp(output.left.data(), input.left.data(), input.left.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(output.right.data(), input.right.data(), input.right.size() * sizeof(float)), 0);
}

TEST(TapeSoundProcessor, EveryBuiltInColoursTheSound) {
    for (const SoundProfile& profile : TapeSoundLibrary::builtIns())
        EXPECT_FALSE(TapeSoundProcessor(profile).isBypass()) << profile.id;
}

class TapeSoundHiss : public testing::TestWithParam<double> {};

TEST_P(TapeSoundHiss, ReachesTheOutputAtItsRMSLevelOnEachChannel) {
    TapeSoundSettings s;
    s.hissLevelDb = GetParam();
    Stereo out = rendered(s, silence(3));
    EXPECT_NEAR(dB(test::rms(out.left)), GetParam(), 1.0);
    EXPECT_NEAR(dB(test::rms(out.right)), GetParam(), 1.0);

    double dot = 0;
    for (std::size_t i = 0; i < out.left.size(); ++i) dot += double(out.left[i]) * out.right[i];
    double correlation = dot / double(out.left.size()) / (test::rms(out.left) * test::rms(out.right));
    EXPECT_LT(std::fabs(correlation), 0.05) << "each channel has its own noise";
}

INSTANTIATE_TEST_SUITE_P(Levels, TapeSoundHiss, testing::Values(-30.0, -56.0, -80.0, -120.0));

TEST(TapeSoundProcessor, BuiltInHissIsHeardAtItsSettingThroughTheFilters) {
    for (const SoundProfile& profile : TapeSoundLibrary::builtIns()) {
        SCOPED_TRACE(profile.id);
        Stereo out = rendered(profile.settings, silence(4));
        double level = *profile.settings.hissLevelDb;
        EXPECT_NEAR(dB(test::rms(after(out.left, 1.0))), level, 1.0);
        EXPECT_NEAR(dB(test::rms(after(out.right, 1.0))), level, 1.0);
    }
}

struct CutCase {
    double lowCut;
    double highCut;
};

class TapeSoundCut : public testing::TestWithParam<CutCase> {};

// Whether the gain rises with frequency (past a low cut) or falls (past a high cut).
enum class Slope { rising, falling };

// The frequency between `low` and `high` where the gain crosses -3 dB.
double minus3dBPoint(const TapeSoundSettings& settings, double low, double high, Slope slope) {
    for (int i = 0; i < 14; ++i) {
        double middle = std::sqrt(low * high);
        bool above = toneGainDb(settings, middle) > -3.0;
        if (above == (slope == Slope::rising)) high = middle;
        else low = middle;
    }
    return std::sqrt(low * high);
}

TEST_P(TapeSoundCut, IsThreeDecibelsDownWhereItIsSet) {
    const CutCase c = GetParam();
    TapeSoundSettings s;
    s.lowCutHz = c.lowCut;
    s.highCutHz = c.highCut;
    if (c.lowCut > 0) {
        double corner = minus3dBPoint(s, c.lowCut / 4, c.lowCut * 4, Slope::rising);
        EXPECT_NEAR(corner, c.lowCut, 0.1 * c.lowCut);
        EXPECT_LT(toneGainDb(s, c.lowCut / 2), -10.0) << "an octave below";
        EXPECT_NEAR(toneGainDb(s, c.lowCut * 8), 0.0, 0.3);
    }
    if (c.highCut > 0) {
        double corner = minus3dBPoint(s, c.highCut / 4, std::min(c.highCut * 4, 0.49 * rate), Slope::falling);
        EXPECT_NEAR(corner, c.highCut, 0.1 * c.highCut);
        if (c.highCut * 2 < rate / 2) {
            EXPECT_LT(toneGainDb(s, c.highCut * 2), -10.0) << "an octave above";
        }
        EXPECT_NEAR(toneGainDb(s, c.highCut / 8), 0.0, 0.3);
    }
}

INSTANTIATE_TEST_SUITE_P(Corners, TapeSoundCut,
                         testing::Values(CutCase{10, 0}, CutCase{60, 0}, CutCase{300, 0}, CutCase{0, 2000},
                                         CutCase{0, 6000}, CutCase{0, 20000}, CutCase{100, 8000}));

TEST(TapeSoundProcessor, HeadBumpLiftsItsFrequencyOnly) {
    TapeSoundSettings s;
    s.headBumpFrequencyHz = 120;
    s.headBumpGainDb = 4;
    EXPECT_NEAR(toneGainDb(s, 120), 4.0, 0.1);
    EXPECT_NEAR(toneGainDb(s, 2000), 0.0, 0.2);
}

TEST(TapeSoundProcessor, SaturationKeepsQuietSignalsAndBendsLoudOnes) {
    TapeSoundSettings s;
    s.driveDb = 12;
    const double ceiling = std::pow(10.0, -12.0 / 20);

    Stereo quiet = rendered(s, sine(1000, 0.01, 0.5));
    EXPECT_NEAR(dB(test::toneAmplitude(quiet.left, 1000) / 0.01), 0.0, 0.01);
    EXPECT_LT(test::toneAmplitude(quiet.left, 3000) / 0.01, 1e-3);

    Stereo loud = rendered(s, sine(1000, 1.0, 0.5));
    EXPECT_LE(test::peak(loud.left), ceiling + 1e-6);
    EXPECT_GT(test::peak(loud.left), 0.95 * ceiling);
    EXPECT_GT(test::toneAmplitude(loud.left, 3000) / test::toneAmplitude(loud.left, 1000), 0.05)
        << "driven hard, a sine gains odd harmonics";
}

class TapeSoundCrosstalk : public testing::TestWithParam<double> {};

TEST_P(TapeSoundCrosstalk, LeaksEachChannelIntoTheOtherAtItsLevel) {
    TapeSoundSettings s;
    s.crosstalkLevelDb = GetParam();
    Stereo input = sine(1000, 0.5, 1.0);
    std::fill(input.right.begin(), input.right.end(), 0.0f);
    Stereo out = rendered(s, input);
    EXPECT_NEAR(dB(test::toneAmplitude(out.right, 1000) / test::toneAmplitude(out.left, 1000)), GetParam(), 0.1);
}

INSTANTIATE_TEST_SUITE_P(Levels, TapeSoundCrosstalk, testing::Values(-10.0, -35.0, -60.0, -90.0));

struct AzimuthCase {
    double errorUs;
    double sampleRate;
};

class TapeSoundAzimuth : public testing::TestWithParam<AzimuthCase> {};

TEST_P(TapeSoundAzimuth, DelaysOneChannelByTheError) {
    const AzimuthCase c = GetParam();
    TapeSoundSettings s;
    s.azimuthErrorUs = c.errorUs;
    for (double frequency : {1000.0, 2000.0}) {
        SCOPED_TRACE(frequency);
        Stereo out = rendered(s, sine(frequency, 0.5, 1.0, c.sampleRate), c.sampleRate);
        auto left = after(out.left, 0.1, c.sampleRate);
        auto right = after(out.right, 0.1, c.sampleRate);
        double lag =
            std::remainder(tonePhase(left, frequency, c.sampleRate) - tonePhase(right, frequency, c.sampleRate),
                           2 * std::numbers::pi);
        EXPECT_NEAR(lag / (2 * std::numbers::pi * frequency) * 1e6, c.errorUs, 0.2);
        EXPECT_NEAR(dB(test::toneAmplitude(right, frequency, c.sampleRate) /
                       test::toneAmplitude(left, frequency, c.sampleRate)),
                    0.0, 0.02);
    }
    Stereo high = rendered(s, sine(15000, 0.5, 0.5, c.sampleRate), c.sampleRate);
    EXPECT_NEAR(dB(test::toneAmplitude(after(high.right, 0.1, c.sampleRate), 15000, c.sampleRate) /
                   test::toneAmplitude(after(high.left, 0.1, c.sampleRate), 15000, c.sampleRate)),
                0.0, 0.05)
        << "the delayed channel keeps its highs";
}

INSTANTIATE_TEST_SUITE_P(Errors, TapeSoundAzimuth,
                         testing::Values(AzimuthCase{10, rate}, AzimuthCase{80, rate}, AzimuthCase{-120, rate},
                                         AzimuthCase{200, rate}, AzimuthCase{-200, rate}, AzimuthCase{55, 48000}));

// Frequency of a tone cycle by cycle, from the interpolated times of its rising zero
// crossings, each averaged over `cycles` cycles.
std::vector<double> cycleFrequencies(std::span<const float> x, int cycles, double sampleRate) {
    std::vector<double> crossings;
    for (std::size_t i = 1; i < x.size(); ++i)
        if (x[i - 1] < 0 && x[i] >= 0) crossings.push_back(double(i - 1) + x[i - 1] / (x[i - 1] - x[i]));
    std::vector<double> frequencies;
    for (std::size_t i = static_cast<std::size_t>(cycles); i < crossings.size(); ++i)
        frequencies.push_back(cycles * sampleRate / (crossings[i] - crossings[i - static_cast<std::size_t>(cycles)]));
    return frequencies;
}

struct SpeedCase {
    const char* label;
    double wowPercent, wowHz, flutterPercent, flutterHz;
};

class TapeSoundWowAndFlutter : public testing::TestWithParam<SpeedCase> {};

TEST_P(TapeSoundWowAndFlutter, SwingTheSpeedOfA1kHzToneAsSet) {
    const SpeedCase c = GetParam();
    TapeSoundSettings s;
    s.wowDepthPercent = c.wowPercent;
    s.wowRateHz = c.wowHz;
    s.flutterDepthPercent = c.flutterPercent;
    s.flutterRateHz = c.flutterHz;
    const double modulation = c.wowPercent > 0 ? c.wowHz : c.flutterHz;
    const double depth = (c.wowPercent + c.flutterPercent) / 100;
    const double seconds = 0.5 + 8 / modulation;

    Stereo out = rendered(s, sine(1000, 0.5, seconds));
    // Averaging over an eighth of the modulation period at most keeps 97 % of the swing.
    int cycles = std::clamp(static_cast<int>(1000 / (8 * modulation)), 1, 40);
    auto frequencies = cycleFrequencies(after(out.left, 0.5), cycles, rate);
    auto [lowest, highest] = std::minmax_element(frequencies.begin(), frequencies.end());
    double deviation = (*highest - *lowest) / 2 / 1000;
    EXPECT_NEAR(deviation, depth, 0.1 * depth);

    // The swing's own rate: how often the frequency rises through its middle.
    double middle = (*highest + *lowest) / 2, hysteresis = (*highest - *lowest) / 4;
    int rises = 0;
    bool low = frequencies.front() < middle;
    for (double f : frequencies) {
        if (low && f > middle + hysteresis) {
            ++rises;
            low = false;
        } else if (!low && f < middle - hysteresis) {
            low = true;
        }
    }
    double measuredSeconds = double(frequencies.size()) / 1000;  // one entry per cycle of the tone
    EXPECT_NEAR(rises / measuredSeconds, modulation, 1 / measuredSeconds + 0.05 * modulation);
    EXPECT_EQ(out.left, out.right) << "one tape carries both channels";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TapeSoundWowAndFlutter,
    testing::Values(SpeedCase{"Wow0_5At1Hz", 0.5, 1, 0, 8}, SpeedCase{"Wow2At0_4Hz", 2, 0.4, 0, 8},
                    SpeedCase{"Wow0_06At0_6Hz", 0.06, 0.6, 0, 8}, SpeedCase{"Flutter0_3At14Hz", 0, 0.5, 0.3, 14},
                    SpeedCase{"Flutter1At25Hz", 0, 0.5, 1, 25}, SpeedCase{"Flutter0_04At8Hz", 0, 0.5, 0.04, 8}),
    [](const testing::TestParamInfo<SpeedCase>& info) { return std::string(info.param.label); });

TEST(TapeSoundProcessor, DropoutsDipBothChannelsAtTheSetRateAndDepth) {
    TapeSoundSettings s;
    s.dropoutsPerMinute = 30;
    s.dropoutDepthDb = 20;
    s.dropoutDurationMs = 50;
    const double minutes = 4;
    Stereo input = silence(minutes * 60);
    std::fill(input.left.begin(), input.left.end(), 0.5f);
    std::fill(input.right.begin(), input.right.end(), 0.5f);
    Stereo out = rendered(s, input);
    ASSERT_EQ(out.left, out.right);

    int dips = 0;
    std::size_t longest = 0;
    double shallowest = 0, deepest = 0;
    for (std::size_t i = 0; i < out.left.size();) {
        if (dB(out.left[i] / 0.5) > -0.5) {
            ++i;
            continue;
        }
        std::size_t start = i;
        double bottom = 0;
        for (; i < out.left.size() && dB(out.left[i] / 0.5) <= -0.5; ++i)
            bottom = std::min(bottom, dB(out.left[i] / 0.5));
        ++dips;
        longest = std::max(longest, i - start);
        shallowest = dips == 1 ? bottom : std::max(shallowest, bottom);
        deepest = std::min(deepest, bottom);
    }
    // 120 expected; a Poisson count stays within three standard deviations.
    EXPECT_GT(dips, 120 - 33);
    EXPECT_LT(dips, 120 + 33);
    EXPECT_GE(deepest, -20.01);
    EXPECT_LT(deepest, -18.0);
    EXPECT_LE(shallowest, -9.9);
    EXPECT_LT(double(longest), 1.5 * 0.050 * rate);
}

TEST(TapeSoundProcessor, StaysFiniteAndBoundedForExtremeInput) {
    TapeSoundSettings extreme;
    extreme.hissLevelDb = -30;
    extreme.wowDepthPercent = 2;
    extreme.wowRateHz = 4;
    extreme.flutterDepthPercent = 1;
    extreme.flutterRateHz = 25;
    extreme.dropoutsPerMinute = 60;
    extreme.dropoutDepthDb = 40;
    extreme.dropoutDurationMs = 500;
    extreme.headBumpFrequencyHz = 200;
    extreme.headBumpGainDb = 9;
    extreme.lowCutHz = 300;
    extreme.highCutHz = 2000;
    extreme.azimuthErrorUs = -200;
    extreme.crosstalkLevelDb = -10;
    TapeSoundSettings wild;  // built in code, not read from a profile
    wild.driveDb = 100;
    wild.hissLevelDb = std::nan("");
    wild.wowDepthPercent = 50;
    wild.wowRateHz = 0;
    wild.flutterDepthPercent = std::numeric_limits<double>::infinity();
    wild.dropoutsPerMinute = 1e9;
    wild.dropoutDurationMs = 0;
    wild.lowCutHz = -5;
    wild.highCutHz = 1e9;
    wild.azimuthErrorUs = 1e6;
    wild.crosstalkLevelDb = 20;
    std::vector<TapeSoundSettings> settings = {extreme, wild};
    for (const SoundProfile& profile : TapeSoundLibrary::builtIns()) settings.push_back(profile.settings);

    Stereo garbage = noise(1.0, 0.5);
    for (std::size_t i = 0; i < garbage.left.size(); i += 97) {
        garbage.left[i] = std::numeric_limits<float>::quiet_NaN();
        garbage.right[i] = std::numeric_limits<float>::infinity();
        garbage.left[i + 1] = std::numeric_limits<float>::denorm_min();
        garbage.right[i + 1] = -1e30f;
    }
    for (const TapeSoundSettings& s : settings) {
        for (const Stereo& input : {noise(1.0, 3.0), silence(3.0), garbage}) {
            Stereo out = rendered(s, input);
            for (const auto* channel : {&out.left, &out.right})
                for (float v : *channel) {
                    ASSERT_TRUE(std::isfinite(v));
                    ASSERT_LT(std::fabs(v), 16.0f);
                }
        }
    }
}

TEST(TapeSoundProcessor, SilenceAfterSoundDecaysToZeroNotSubnormals) {
    TapeSoundSettings s;
    s.driveDb = 3;
    s.headBumpGainDb = 3;
    s.lowCutHz = 20;
    s.highCutHz = 18000;
    s.azimuthErrorUs = 30;
    s.crosstalkLevelDb = -40;
    s.wowDepthPercent = 0.1;
    TapeSoundProcessor processor(s);
    Stereo loud = noise(1.0, 1.0);
    run(processor, loud);
    Stereo quiet = silence(30);
    run(processor, quiet);
    for (const auto* channel : {&quiet.left, &quiet.right})
        for (float v : *channel) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
    EXPECT_EQ(test::peak(after(quiet.left, 29)), 0.0f);
}

TEST(TapeSoundProcessor, RendersTheSameAfterResetAndHowEverTheAudioIsCut) {
    const SoundProfile& attic = TapeSoundLibrary::builtIns().back();
    Stereo input = noise(0.5, 3.0);

    TapeSoundProcessor processor(attic);
    Stereo first = input;
    run(processor, first);

    processor.reset();
    Stereo again = input;
    run(processor, again);
    EXPECT_EQ(again.left, first.left);
    EXPECT_EQ(again.right, first.right);

    TapeSoundProcessor other(attic);
    Stereo pieces = input;
    int frames = static_cast<int>(pieces.left.size());
    const int sizes[] = {1, 17, 4096, 333, 2048, 4000};
    for (int done = 0, k = 0; done < frames; ++k) {
        int n = std::min(sizes[k % 6], frames - done);
        other.process(pieces.left.data() + done, pieces.right.data() + done, n);
        done += n;
    }
    EXPECT_EQ(pieces.left, first.left);
    EXPECT_EQ(pieces.right, first.right);

    TapeSoundProcessor whole(attic);
    Stereo oneCall = input;
    whole.process(oneCall.left.data(), oneCall.right.data(), frames);
    EXPECT_EQ(oneCall.left, first.left) << "calls longer than a chunk are split inside";
}

}  // namespace
}  // namespace norvo
