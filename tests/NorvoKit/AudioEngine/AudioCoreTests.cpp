#include "AudioEngine/AudioCore.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <vector>

#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "Support/AllocationCounter.hpp"
#include "Support/BusyDisk.hpp"
#include "Support/EndlessSource.hpp"
#include "Support/SignalMeasure.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "Support/ThreadPageFaults.hpp"

namespace norvo {
namespace {

// A source whose frames the test sets up front: `ready` of them can be pulled now,
// and it ends after the last one when `ended` is set.
class FakeSource final : public SourceStream {
public:
    FakeSource(std::vector<float> left, std::vector<float> right)
        : left_(std::move(left)), right_(std::move(right)), ready_(int64_t(left_.size())) {}

    static std::unique_ptr<FakeSource> constant(float value, int64_t frames) {
        return std::make_unique<FakeSource>(std::vector<float>(std::size_t(frames), value),
                                            std::vector<float>(std::size_t(frames), -value));
    }

    int pull(int frames, float* left, float* right) override {
        const int n = int(std::clamp<int64_t>(ready_ - position_, 0, frames));
        std::copy_n(left_.begin() + position_, n, left);
        std::copy_n(right_.begin() + position_, n, right);
        position_ += n;
        return n;
    }
    int64_t availableFrames() const override { return ready_ - position_; }
    bool isDrained() const override { return ended && position_ >= int64_t(left_.size()); }
    int64_t position() const override { return position_; }
    int64_t duration() const override { return int64_t(left_.size()); }
    void cancel() override {}

    void setReady(int64_t frames) { ready_ = std::min<int64_t>(frames, int64_t(left_.size())); }
    bool ended = false;

private:
    std::vector<float> left_, right_;
    int64_t ready_;
    int64_t position_ = 0;
};

// A radio signal delivering a constant pair of values, or nothing while `delivering` is off.
class FakeSignal final : public RadioSignal {
public:
    int render(int frames, float* left, float* right) override {
        if (!delivering) return 0;
        std::fill_n(left, frames, value);
        std::fill_n(right, frames, -value);
        return frames;
    }
    bool delivering = true;
    float value = 0.25f;
};

struct Rendered {
    std::vector<float> left, right;
};

class AudioCoreTest : public ::testing::Test {
protected:
    // Renders in device-sized blocks, as a callback would.
    Rendered render(int frames, int block = 512) {
        Rendered out{std::vector<float>(std::size_t(frames)), std::vector<float>(std::size_t(frames))};
        for (int done = 0; done < frames; done += block) {
            const int n = std::min(block, frames - done);
            core_.render(n, out.left.data() + done, out.right.data() + done);
        }
        return out;
    }

    std::shared_ptr<TapeMedia> load(int sideSeconds, int64_t head = 0, TapeSide side = TapeSide::a) {
        auto media = std::make_shared<TapeMedia>(CassetteType::custom(sideSeconds), workspaces_.path());
        CassetteTransport::Cassette cassette{.type = CassetteType::custom(sideSeconds), .side = side};
        core_.loadMedia(media, cassette, head);
        return media;
    }

    void installSource(SourceStream* stream, AudioCore::SourceState state = AudioCore::SourceState::playing,
                       float volume = 1.0f) {
        core_.installSourceStream(stream, state);
        core_.setSourceVolume(volume);
    }

    struct Tuner {
        bool poweredOn = false;
        bool muting = false;
        float volume = 1.0f;
    };
    void setTuner(RadioSignal* signal, Tuner tuner) {
        core_.setTunerSignal(signal);
        core_.setTunerPoweredOn(tuner.poweredOn);
        core_.setTunerMuting(tuner.muting);
        core_.setTunerVolume(tuner.volume);
    }

    bool sourcePlaying() { return core_.inputs().sourcePlaying; }

    std::vector<int16_t> recorded(const TapeMedia& media, TapeSide side, int64_t from, int64_t frames) {
        const int16_t* data = media.storage(side).frames();
        return {data + from * 2, data + (from + frames) * 2};
    }

    test::TemporaryDirectory workspaces_;
    AudioCore core_;
};

TEST_F(AudioCoreTest, StartsIdle) {
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport, CassetteTransport{});
    EXPECT_FALSE(snapshot.sourceLoaded);
    EXPECT_EQ(snapshot.deckInput, DeckInput::sourcePlayer);
    EXPECT_EQ(snapshot.recordingPass, std::nullopt);
    EXPECT_FALSE(snapshot.tunerLocked);
    EXPECT_FALSE(core_.transport(TransportCommand::record));

    const Rendered out = render(1000);
    EXPECT_EQ(test::peak(out.left), 0.0f);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).renderedFrames, 1000u);
}

TEST_F(AudioCoreTest, MonitorsTheSourceAtItsVolumeAndReportsItsPosition) {
    auto source = FakeSource::constant(0.5f, 10000);
    installSource(source.get(), AudioCore::SourceState::playing, 0.8f);
    // One call larger than a chunk is split by the core.
    const Rendered out = render(6000, 6000);
    EXPECT_FLOAT_EQ(out.left[0], 0.4f);
    EXPECT_FLOAT_EQ(out.right[5999], -0.4f);
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_TRUE(snapshot.sourceLoaded);
    EXPECT_TRUE(snapshot.sourcePlaying);
    EXPECT_EQ(snapshot.sourcePosition, 6000);
    EXPECT_EQ(snapshot.sourceDuration, 10000);
    EXPECT_EQ(snapshot.sourceLevel, (StereoLevel{0.5f, 0.5f}));
}

TEST_F(AudioCoreTest, MissingSourceFramesAreSilentUnderruns) {
    auto source = FakeSource::constant(0.5f, 10000);
    source->setReady(100);
    installSource(source.get());
    const Rendered out = render(512);
    EXPECT_EQ(out.left[99], 0.5f);
    EXPECT_EQ(test::peak(std::span(out.left).subspan(100)), 0.0f);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).underrunFrames, 412u);
    EXPECT_TRUE(sourcePlaying());

    // A paused player is not pulled, so it underruns nothing.
    installSource(source.get(), AudioCore::SourceState::stopped);
    render(512);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).underrunFrames, 412u);
}

TEST_F(AudioCoreTest, AFinishedStreamCountsOneSourceEndAndStopsPlaying) {
    auto source = FakeSource::constant(0.5f, 700);
    source->ended = true;
    installSource(source.get());
    render(2048);
    CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.sourceEndCount, 1u);
    EXPECT_FALSE(snapshot.sourcePlaying);
    EXPECT_EQ(snapshot.underrunFrames, 0u);
    render(2048);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).sourceEndCount, 1u);
}

TEST_F(AudioCoreTest, AnArmedDeckRecordsOnlyOnceTheSelectedInputIsLive) {
    const auto media = load(10, 1000);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).transport.mode, TransportMode::recordArmed);

    // No stream, then a paused one, then a playing one with nothing decoded yet.
    render(2048);
    auto source = FakeSource::constant(0.5f, 44100);
    installSource(source.get(), AudioCore::SourceState::stopped);
    render(2048);
    source->setReady(0);
    installSource(source.get(), AudioCore::SourceState::playing);
    render(2048);
    CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.mode, TransportMode::recordArmed);
    EXPECT_EQ(snapshot.transport.head, 1000);
    EXPECT_EQ(snapshot.recordingPass, std::nullopt);
    EXPECT_EQ(media->used(TapeSide::a), 0);
    EXPECT_EQ(snapshot.deckLevel, StereoLevel{});

    source->setReady(44100);
    render(4096);
    snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.mode, TransportMode::recording);
    EXPECT_EQ(snapshot.recordingPass, (RecordingPass{1, TapeSide::a, 1000, 1000 + 4096}));
    EXPECT_EQ(snapshot.transport.head, 1000 + 4096);
    EXPECT_EQ(media->used(TapeSide::a), 1000 + 4096);
    EXPECT_TRUE(media->isDirty(TapeSide::a));
    EXPECT_EQ(snapshot.deckLevel, (StereoLevel{0.5f, 0.5f}));
}

TEST_F(AudioCoreTest, TheTunerIsLiveOnlyWhilePoweredOnAndDelivering) {
    load(10);
    core_.setDeckInput(DeckInput::tuner);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    FakeSignal signal;
    signal.delivering = false;
    setTuner(&signal, {.poweredOn = true});
    render(2048);
    setTuner(nullptr, {.poweredOn = true});
    render(2048);
    signal.delivering = true;
    setTuner(&signal, {.poweredOn = false});
    render(2048);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).transport.mode, TransportMode::recordArmed);

    setTuner(&signal, {.poweredOn = true});
    render(512);
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.mode, TransportMode::recording);
    EXPECT_EQ(snapshot.recordingPass, (RecordingPass{1, TapeSide::a, 0, 512}));
}

TEST_F(AudioCoreTest, EachRecordingRunOpensANewPassThatOutlivesStopEjectAndLoad) {
    auto source = FakeSource::constant(0.25f, 200000);
    installSource(source.get());
    load(10);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(3000);
    ASSERT_TRUE(core_.transport(TransportCommand::stop));
    render(1000);
    const RecordingPass first{1, TapeSide::a, 0, 3000};
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).recordingPass, first);

    const auto removed = core_.ejectMedia();
    EXPECT_NE(removed, nullptr);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).recordingPass, first);
    const auto media = load(10, 44100, TapeSide::b);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).recordingPass, first);

    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(1000);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).recordingPass, (RecordingPass{2, TapeSide::b, 44100, 45100}));
    EXPECT_EQ(media->used(TapeSide::b), 45100);
    EXPECT_EQ(media->used(TapeSide::a), 0);
}

TEST_F(AudioCoreTest, TheEndOfASideStopsRecordingAndPausesThePlayerOnce) {
    auto source = FakeSource::constant(0.25f, 200000);
    installSource(source.get());
    const auto media = load(1, 40000);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(8192);
    CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.mode, TransportMode::stopped);
    EXPECT_EQ(snapshot.transport.head, 44100);
    EXPECT_EQ(snapshot.recordingPass, (RecordingPass{1, TapeSide::a, 40000, 44100}));
    EXPECT_EQ(snapshot.autoPauseCount, 1u);
    EXPECT_FALSE(snapshot.sourcePlaying);
    EXPECT_EQ(media->used(TapeSide::a), 44100);

    render(8192);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).autoPauseCount, 1u);
    EXPECT_FALSE(core_.transport(TransportCommand::record));
}

TEST_F(AudioCoreTest, TheEndOfASideRecordedFromTheTunerLeavesThePlayerAlone) {
    auto source = FakeSource::constant(0.25f, 200000);
    installSource(source.get());
    FakeSignal signal;
    setTuner(&signal, {.poweredOn = true});
    core_.setDeckInput(DeckInput::tuner);
    load(1, 40000);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(8192);
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.mode, TransportMode::stopped);
    EXPECT_EQ(snapshot.autoPauseCount, 0u);
    EXPECT_TRUE(snapshot.sourcePlaying);
}

TEST_F(AudioCoreTest, AProtectedSideRefusesRecordAndProtectingItMidRecordingStopsTheDeck) {
    auto source = FakeSource::constant(0.25f, 200000);
    installSource(source.get());
    load(10);
    core_.setWriteProtected(true, TapeSide::a);
    EXPECT_FALSE(core_.transport(TransportCommand::record));
    core_.setWriteProtected(false, TapeSide::a);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(1024);

    core_.setWriteProtected(true, TapeSide::b);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).transport.mode, TransportMode::recording);
    core_.setWriteProtected(true, TapeSide::a);
    render(1024);
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.mode, TransportMode::stopped);
    EXPECT_EQ(snapshot.recordingPass, (RecordingPass{1, TapeSide::a, 0, 1024}));
}

TEST_F(AudioCoreTest, TheRecordingLockRefusesRecord) {
    load(10);
    core_.setRecordingLocked(true);
    EXPECT_FALSE(core_.transport(TransportCommand::record));
    EXPECT_TRUE(core_.snapshot(AudioCore::Peaks::keep).transport.recordingLocked);
    core_.setRecordingLocked(false);
    EXPECT_TRUE(core_.transport(TransportCommand::record));
}

TEST_F(AudioCoreTest, LoadingReturnsThePreviousMediaAndClampsTheHead) {
    const auto first = load(10);
    auto second = std::make_shared<TapeMedia>(CassetteType::custom(2), workspaces_.path());
    const auto previous =
        core_.loadMedia(second, {.type = CassetteType::custom(2), .side = TapeSide::b, .protectedB = true}, 999999);
    EXPECT_EQ(previous, first);
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.transport.head, 88200);
    EXPECT_EQ(snapshot.transport.cassette->side, TapeSide::b);
    EXPECT_EQ(core_.ejectMedia(), second);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).transport, CassetteTransport{});
    EXPECT_EQ(core_.ejectMedia(), nullptr);
}

TEST_F(AudioCoreTest, ReplacingTheStreamOrTheSignalHandsTheOldOneBack) {
    auto first = FakeSource::constant(0.5f, 44100);
    auto second = FakeSource::constant(0.25f, 44100);
    EXPECT_EQ(core_.installSourceStream(first.get(), AudioCore::SourceState::playing), nullptr);
    render(512);
    EXPECT_EQ(core_.installSourceStream(second.get(), AudioCore::SourceState::playing), first.get());
    render(512);
    EXPECT_EQ(first->position(), 512) << "the replaced stream is pulled no more";
    EXPECT_EQ(second->position(), 512);

    FakeSignal a, b;
    EXPECT_EQ(core_.setTunerSignal(&a), nullptr);
    EXPECT_EQ(core_.setTunerSignal(&b), &a);
    EXPECT_EQ(core_.setTunerSignal(nullptr), &b);
    installSource(nullptr);
}

TEST_F(AudioCoreTest, TheInputCrossfadeIsEqualPowerAndCompletesWithin1103Frames) {
    auto source = FakeSource::constant(1.0f, 100000);
    installSource(source.get());
    core_.setDeckInput(DeckInput::tuner);
    const Rendered toTuner = render(2000, 256);
    EXPECT_GT(toTuner.left[1101], 0.0f);
    EXPECT_EQ(toTuner.left[1102], 0.0f);
    // Halfway, the source is at cos(π/4) of its level.
    EXPECT_NEAR(toTuner.left[551], std::cos(std::numbers::pi / 4), 0.002);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).deckInput, DeckInput::tuner);

    core_.setDeckInput(DeckInput::sourcePlayer);
    const Rendered back = render(2000, 256);
    EXPECT_LT(back.left[1101], 1.0f);
    EXPECT_EQ(back.left[1102], 1.0f);
}

TEST_F(AudioCoreTest, TheTunerCrossfadesInAtItsVolume) {
    FakeSignal signal;
    setTuner(&signal, {.poweredOn = true, .muting = true, .volume = 0.5f});
    render(8192);  // locks on while the source is selected
    core_.setDeckInput(DeckInput::tuner);
    const Rendered out = render(2048);
    EXPECT_LT(std::fabs(out.left[0]), 0.125f * 0.01f);
    EXPECT_FLOAT_EQ(out.left[1102], 0.125f);
    EXPECT_FLOAT_EQ(out.right[2047], -0.125f);
}

TEST_F(AudioCoreTest, TheLockGainRampsInAbout100msAndTunerLockedFollowsIt) {
    FakeSignal signal;
    signal.delivering = false;
    setTuner(&signal, {.poweredOn = true});
    core_.setDeckInput(DeckInput::tuner);
    render(8192);  // past the crossfade, all hiss
    EXPECT_FALSE(core_.snapshot(AudioCore::Peaks::keep).tunerLocked);

    signal.delivering = true;
    const Rendered rising = render(4410, 4410);
    // Halfway up: half the signal, half the hiss.
    EXPECT_NEAR(rising.left[2204], 0.125f, 0.16f * 0.5f);
    EXPECT_TRUE(core_.snapshot(AudioCore::Peaks::keep).tunerLocked);
    render(100);
    const Rendered locked = render(512);
    EXPECT_EQ(test::peak(locked.left), 0.25f);
    EXPECT_EQ(locked.left[0], 0.25f);

    signal.delivering = false;
    const Rendered fading = render(2305);
    EXPECT_LT(test::peak(std::span(fading.left).first(100)), 0.16f * 100.0f / 4410.0f);
    EXPECT_FALSE(core_.snapshot(AudioCore::Peaks::keep).tunerLocked);

    setTuner(&signal, {.poweredOn = false});
    EXPECT_FALSE(core_.snapshot(AudioCore::Peaks::keep).tunerLocked);
}

TEST_F(AudioCoreTest, InterstationNoiseFillsTheGapUnlessMuting) {
    setTuner(nullptr, {.poweredOn = true});
    core_.setDeckInput(DeckInput::tuner);
    render(2048);
    const Rendered hiss = render(44100);
    EXPECT_GT(test::rms(hiss.left), 0.02);
    EXPECT_LE(test::peak(hiss.left), 0.16f);
    EXPECT_GT(test::maximumDifference(hiss.left, hiss.right), 0.0f);
    EXPECT_GT(core_.snapshot(AudioCore::Peaks::keep).tunerLevel.left, 0.0f);

    setTuner(nullptr, {.poweredOn = true, .muting = true});
    EXPECT_EQ(test::peak(render(4096).left), 0.0f);

    // A locked station carries no hiss.
    FakeSignal signal;
    setTuner(&signal, {.poweredOn = true});
    render(8192);
    const Rendered locked = render(4096);
    EXPECT_EQ(test::peak(locked.left), 0.25f);
    EXPECT_EQ(locked.left[100], 0.25f);

    setTuner(&signal, {.poweredOn = false});
    EXPECT_EQ(test::peak(render(4096).left), 0.0f);
}

TEST_F(AudioCoreTest, RecordGainShapesTheLineAndVolumesOnlyTheMonitor) {
    auto source = FakeSource::constant(0.5f, 100000);
    installSource(source.get(), AudioCore::SourceState::playing, 0.3f);
    const auto media = load(10);
    core_.setRecordGain(0.5f);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    const Rendered out = render(1000);
    EXPECT_FLOAT_EQ(out.left[500], 0.15f);
    const std::vector<int16_t> frames = recorded(*media, TapeSide::a, 0, 1000);
    EXPECT_EQ(frames[0], 8192);  // round(0.25 * 32767)
    EXPECT_EQ(frames[1], -8192);
    EXPECT_EQ(frames[1998], 8192);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).deckLevel, (StereoLevel{0.25f, 0.25f}));
}

TEST_F(AudioCoreTest, PlaybackIsBitExactBeforeTheTapeSoundAndDeckVolumeScalesIt) {
    // A ramp through the whole 16-bit range and beyond, which the recorder clips.
    std::vector<float> left(20000), right(20000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = -1.2f + 2.4f * float(i) / float(left.size());
        right[i] = 0.7f * std::sin(float(i) * 0.01f);
    }
    FakeSource source(left, right);
    installSource(&source);
    const auto media = load(10);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(20000);
    installSource(nullptr, AudioCore::SourceState::stopped);
    core_.transport(TransportCommand::stop);
    EXPECT_FLOAT_EQ(core_.snapshot(AudioCore::Peaks::reset).deckLevel.left, 1.2f);

    const std::vector<int16_t> frames = recorded(*media, TapeSide::a, 0, 20000);
    EXPECT_EQ(frames[0], -32768);
    EXPECT_EQ(frames[2 * 19999], 32767);
    EXPECT_EQ(frames[2 * 10000], 0);

    for (const float deckVolume : {1.0f, 0.5f}) {
        SCOPED_TRACE(deckVolume);
        core_.setDeckVolume(deckVolume);
        core_.loadMedia(media, {.type = CassetteType::custom(10), .side = TapeSide::a}, 0);
        ASSERT_TRUE(core_.transport(TransportCommand::play));
        const Rendered out = render(20000, 441);
        for (std::size_t i = 0; i < 20000; ++i) {
            ASSERT_EQ(out.left[i], float(frames[2 * i]) / 32768.0f * deckVolume) << i;
            ASSERT_EQ(out.right[i], float(frames[2 * i + 1]) / 32768.0f * deckVolume) << i;
        }
        const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::reset);
        EXPECT_EQ(snapshot.transport.head, 20000);
        EXPECT_EQ(snapshot.deckLevel.left, 1.0f);
    }
}

TEST_F(AudioCoreTest, ATapeSoundColoursPlaybackButNeverTheRecording) {
    auto source = FakeSource::constant(0.3f, 100000);
    installSource(source.get());
    const auto media = load(10);
    const SoundProfile& profile = TapeSoundLibrary::builtIns().back();
    core_.setTapeSound(&profile);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(44100);
    std::vector<int16_t> expected(88200);
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = i % 2 ? -9830 : 9830;
    EXPECT_EQ(recorded(*media, TapeSide::a, 0, 44100), expected);

    installSource(nullptr, AudioCore::SourceState::stopped);
    core_.loadMedia(media, {.type = CassetteType::custom(10), .side = TapeSide::a}, 0);
    ASSERT_TRUE(core_.transport(TransportCommand::play));
    const Rendered coloured = render(44100);
    std::vector<float> clean(44100, 9830.0f / 32768.0f);
    EXPECT_GT(test::maximumDifference(std::span(coloured.left).subspan(4410, 30000),
                                      std::span(clean).subspan(0, 30000)),
              0.001f);

    core_.setTapeSound(nullptr);
    core_.loadMedia(media, {.type = CassetteType::custom(10), .side = TapeSide::a}, 0);
    ASSERT_TRUE(core_.transport(TransportCommand::play));
    const Rendered bypassed = render(44100);
    EXPECT_EQ(test::maximumDifference(bypassed.left, clean), 0.0f);
}

// Longest run of frames in which both channels are silent.
std::size_t longestSilence(const Rendered& out) {
    std::size_t longest = 0, run = 0;
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        run = std::fabs(out.left[i]) < 1e-4f && std::fabs(out.right[i]) < 1e-4f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST_F(AudioCoreTest, ChangingTheTapeSoundWhilePlayingLeavesNoGap) {
    std::vector<float> tone(3 * 44100);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.3f * std::sin(2.0f * std::numbers::pi_v<float> * 441.0f * float(i) / 44100.0f);
    FakeSource source(tone, tone);
    installSource(&source);
    const auto media = load(10);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(3 * 44100);
    installSource(nullptr, AudioCore::SourceState::stopped);
    core_.loadMedia(media, {.type = CassetteType::custom(10), .side = TapeSide::a}, 0);

    const auto& profiles = TapeSoundLibrary::builtIns();
    core_.setTapeSound(&profiles.back());
    ASSERT_TRUE(core_.transport(TransportCommand::play));
    render(22050);
    // Every switch, each way, while the tape plays.
    std::vector<const SoundProfile*> sounds{nullptr};
    for (const auto& profile : profiles) sounds.push_back(&profile);
    sounds.push_back(nullptr);
    for (const SoundProfile* sound : sounds) {
        core_.setTapeSound(sound);
        const Rendered after = render(2048);
        EXPECT_LE(longestSilence(after), 2u) << (sound ? sound->name : "clean");
        core_.snapshot(AudioCore::Peaks::reset);  // the tick frees what the render replaced
    }
}

TEST_F(AudioCoreTest, TheOutputIsClampedToFullScale) {
    auto source = FakeSource::constant(3.0f, 10000);
    installSource(source.get());
    const Rendered out = render(1000);
    EXPECT_EQ(out.left[10], 1.0f);
    EXPECT_EQ(out.right[10], -1.0f);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).sourceLevel.left, 3.0f);
}

TEST_F(AudioCoreTest, ANotANumberFromAnInputNeverReachesTheDevice) {
    FakeSignal signal;
    signal.value = std::numeric_limits<float>::quiet_NaN();
    setTuner(&signal, {.poweredOn = true});
    core_.setDeckInput(DeckInput::tuner);
    const Rendered out = render(2048);
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out.left[i])) << "frame " << i;
        ASSERT_TRUE(std::isfinite(out.right[i])) << "frame " << i;
    }
}

TEST_F(AudioCoreTest, ASnapshotCanResetThePeakHolds) {
    auto source = FakeSource::constant(0.5f, 100000);
    installSource(source.get());
    FakeSignal signal;
    setTuner(&signal, {.poweredOn = true, .muting = true});
    load(10);
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(8192);
    source->setReady(8192);  // nothing more to pull

    const CoreSnapshot held = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(held.sourceLevel, (StereoLevel{0.5f, 0.5f}));
    EXPECT_EQ(held.deckLevel, (StereoLevel{0.5f, 0.5f}));
    EXPECT_FLOAT_EQ(held.tunerLevel.left, 0.25f);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::reset), held);
    const CoreSnapshot reset = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(reset.sourceLevel, StereoLevel{});
    EXPECT_EQ(reset.deckLevel, StereoLevel{});
    EXPECT_EQ(reset.tunerLevel, StereoLevel{});

    render(512);
    EXPECT_EQ(core_.snapshot(AudioCore::Peaks::keep).sourceLevel, StereoLevel{});
    EXPECT_FLOAT_EQ(core_.snapshot(AudioCore::Peaks::keep).tunerLevel.left, 0.25f);
}

TEST_F(AudioCoreTest, RenderingNeitherAllocatesNorFrees) {
    auto source = FakeSource::constant(0.5f, 1000000);
    installSource(source.get());
    FakeSignal signal;
    setTuner(&signal, {.poweredOn = true});
    const auto media = load(10);
    core_.setTapeSound(&TapeSoundLibrary::builtIns().back());
    ASSERT_TRUE(core_.transport(TransportCommand::record));
    render(512);  // touches the pages the test is about to render into
    std::vector<float> left(8192), right(8192);

    test::AllocationCounter counter;
    core_.render(8192, left.data(), right.data());
    core_.setDeckInput(DeckInput::tuner);
    core_.render(8192, left.data(), right.data());
    core_.transport(TransportCommand::stop);
    core_.render(512, left.data(), right.data());
    core_.transport(TransportCommand::play);
    core_.render(8192, left.data(), right.data());
    EXPECT_EQ(counter.allocations(), 0u);
    EXPECT_EQ(counter.deallocations(), 0u);
}

// A source whose first pull holds the render, and with it the core, until the test lets
// go; it gives up after 2 s so that a failing test still ends.
class HeldSource final : public SourceStream {
public:
    int pull(int frames, float* left, float* right) override {
        if (std::exchange(first_, false)) {
            holding = true;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (!release.load() && !gaveUp.load()) {
                if (std::chrono::steady_clock::now() > deadline) gaveUp = true;
                std::this_thread::yield();
            }
        }
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
        return frames;
    }
    int64_t availableFrames() const override { return 0; }
    bool isDrained() const override { return false; }
    int64_t position() const override { return 0; }
    int64_t duration() const override { return 0; }
    void cancel() override {}

    std::atomic<bool> holding{false}, release{false}, gaveUp{false};

private:
    bool first_ = true;
};

// Turning a knob never waits for a render callback to end.
TEST_F(AudioCoreTest, GainsAndMutingAreSetWhileARenderHoldsTheCore) {
    HeldSource held;
    installSource(&held);
    std::thread device([&] {
        std::vector<float> left(512), right(512);
        core_.render(512, left.data(), right.data());
    });
    while (!held.holding.load()) std::this_thread::yield();
    core_.setSourceVolume(0.5f);
    core_.setTunerVolume(0.25f);
    core_.setTunerMuting(true);
    core_.setDeckVolume(0.5f);
    core_.setRecordGain(2.0f);
    const bool waited = held.gaveUp.load();
    held.release = true;
    device.join();

    EXPECT_FALSE(waited) << "a setting waited until the render let go of the core";
    const AudioCore::Inputs inputs = core_.inputs();
    EXPECT_EQ(inputs.sourceVolume, 0.5f);
    EXPECT_EQ(inputs.tunerVolume, 0.25f);
    EXPECT_TRUE(inputs.tunerMuting);
    installSource(nullptr);
}

// The render and the workspace's pages -----------------------------------------------------

using test::EndlessSource;
using test::threadPageFaults;

class RenderPageFaultTest : public AudioCoreTest, public ::testing::WithParamInterface<bool> {};

// The device calls the render every few milliseconds while the workspace's follower looks
// at the head every few milliseconds too. Rendered here far faster than real time, the
// test lets the follower look once for every two seconds of tape the head moves, which
// is still far less often than it does in real time.
TEST_P(RenderPageFaultTest, RecordingPlayingAndWindingTakeNoPageFault) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory takes page faults of its own on first touch";
#endif
    std::optional<test::BusyDisk> busy;
    if (GetParam()) busy.emplace(workspaces_ / "busy.bin");
    auto media = load(120);
    EndlessSource source;
    installSource(&source);

    long faults = 0;
    int64_t chunks = 0;
    std::thread device([&] {
        std::vector<float> left(512, 0.0f), right(512, 0.0f);
        int64_t syncedHead = -1;
        auto head = [&] { return core_.snapshot(AudioCore::Peaks::keep).transport.head; };
        auto followerLooks = [&] {
            const uint64_t seen = media->followerPasses();
            // Two passes: one that began after the head was last reported.
            while (media->followerPasses() < seen + 2) std::this_thread::yield();
        };
        auto renderChunk = [&] {
            const int64_t at = head();
            if (syncedHead < 0 || std::abs(at - syncedHead) >= 2 * 44100) {
                followerLooks();
                syncedHead = at;
            }
            const long before = threadPageFaults();
            core_.render(512, left.data(), right.data());
            if (chunks++ > 0) faults += threadPageFaults() - before;  // the first: stack and the like
        };
        auto renderFrames = [&](int64_t frames) {
            for (int64_t done = 0; done < frames; done += 512) renderChunk();
        };
        auto renderWhile = [&](TransportMode mode) {
            for (int i = 0; i < 100000 && core_.snapshot(AudioCore::Peaks::keep).transport.mode == mode; ++i)
                renderChunk();
        };
        auto mode = [&] { return core_.snapshot(AudioCore::Peaks::keep).transport.mode; };

        followerLooks();
        ASSERT_TRUE(core_.transport(TransportCommand::record));
        renderFrames(60 * 44100);
        ASSERT_EQ(mode(), TransportMode::recording);
        ASSERT_TRUE(core_.transport(TransportCommand::stop));
        ASSERT_TRUE(core_.transport(TransportCommand::beginRewind));
        renderWhile(TransportMode::rewinding);
        ASSERT_EQ(head(), 0);

        ASSERT_TRUE(core_.transport(TransportCommand::play));
        renderFrames(40 * 44100);
        // Winding while playing, then on playing from wherever the wind ended.
        ASSERT_TRUE(core_.transport(TransportCommand::beginRewind));
        renderFrames(22050);
        ASSERT_TRUE(core_.transport(TransportCommand::endWind));
        ASSERT_EQ(mode(), TransportMode::playing);
        renderFrames(5 * 44100);
        ASSERT_TRUE(core_.transport(TransportCommand::beginFastForward));
        renderFrames(22050);
        ASSERT_TRUE(core_.transport(TransportCommand::endWind));
        renderFrames(5 * 44100);
        // The other side, from the same place on the tape.
        ASSERT_TRUE(core_.transport(TransportCommand::flip));
        renderFrames(512);
        ASSERT_TRUE(core_.transport(TransportCommand::play));
        renderFrames(5 * 44100);
        ASSERT_EQ(mode(), TransportMode::playing);
    });
    device.join();

    EXPECT_GT(chunks, 10000);
    EXPECT_EQ(faults, 0) << "page faults on the render thread";
    EXPECT_GT(media->used(TapeSide::a), 59 * 44100);
    if (busy) {
        EXPECT_GT(busy->rounds.load(), 0);
    }
    installSource(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Disk, RenderPageFaultTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WhileAnotherProgramWritesAndSyncs" : "Quiet"; });

TEST_F(AudioCoreTest, OutputGlitchesAreCountedInTheSnapshot) {
    core_.noteOutputStatus({.underflow = true});
    core_.noteOutputStatus({.underflow = true, .overflow = true});
    core_.noteOutputStatus({});
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_EQ(snapshot.outputUnderflowCount, 2u);
    EXPECT_EQ(snapshot.outputOverflowCount, 1u);
}

}  // namespace
}  // namespace norvo
