#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <span>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/DecodedSourceStream.hpp"
#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/SignalMeasure.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "Support/WaitableExecutor.hpp"

namespace norvo {
namespace {

// The real factory, remembering the stream it opened last so the test can let its
// decoder catch up before each render: the render here runs far faster than real time.
class WatchedFactory final : public SourceStreamFactory {
public:
    std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame,
                                       std::optional<int64_t> measuredFrames = std::nullopt) override {
        auto stream = real_.open(file, startFrame, measuredFrames);
        latest = dynamic_cast<DecodedSourceStream*>(stream.get());
        return stream;
    }
    std::optional<int64_t> probeDuration(const std::filesystem::path& file,
                                         const std::atomic<bool>* cancelled = nullptr) override {
        return real_.probeDuration(file, cancelled);
    }

    // Opened on the player's worker, read by the test.
    std::atomic<DecodedSourceStream*> latest{nullptr};

private:
    DecodedSourceStreamFactory real_;
};

// Longest run of frames in which both channels are silent.
std::size_t longestSilence(const std::vector<float>& left, const std::vector<float>& right, std::size_t end) {
    std::size_t longest = 0, run = 0;
    for (std::size_t i = 0; i < end; ++i) {
        const bool silent = std::fabs(left[i]) < 1e-4f && std::fabs(right[i]) < 1e-4f;
        run = silent ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST(SourcePlayerEndToEndTest, PlaysTwoFilesBackToBackThroughTheCore) {
    test::TemporaryDirectory directory;
    const auto first = directory / "First Light.wav";
    const auto second = directory / "Second.flac";
    test::generateTone(first, 1.0, 441.0, 441.0);
    test::generateTone(second, 0.75, 1378.125, 1378.125);
    const int64_t firstFrames = test::generatedFrames(1.0, 44100);
    const int64_t secondFrames = test::generatedFrames(0.75, 44100);

    AudioCore core;
    WatchedFactory factory;
    test::WaitableExecutor executor;
    SourcePlayerEngine player(core, factory, executor);

    player.add({first, second});
    ASSERT_TRUE(executor.waitForPosts(1));  // both lengths in one batch
    executor.runPending();
    ASSERT_EQ(player.tracks().size(), 2u);
    EXPECT_EQ(player.tracks()[0].title, "First Light");
    EXPECT_EQ(player.tracks()[0].durationFrames, firstFrames);
    EXPECT_EQ(player.tracks()[1].durationFrames, secondFrames);
    const Uuid firstID = player.tracks()[0].id, secondID = player.tracks()[1].id;

    player.togglePlayPause();
    ASSERT_TRUE(executor.runUntil([&] { return !player.isOpeningStream(); }));
    ASSERT_EQ(player.state(), SourcePlayerEngine::State::playing);
    EXPECT_EQ(player.duration(), firstFrames);

    // One studio tick's worth of frames per render, then the tick's poll.
    constexpr int tick = 735;
    std::vector<float> left, right;
    std::vector<float> chunkLeft(tick), chunkRight(tick);
    int64_t secondStartedAt = -1;  // frames rendered when the second track was installed
    for (int ticks = 0; ticks < 1000 && player.state() == SourcePlayerEngine::State::playing; ++ticks) {
        DecodedSourceStream* latest = factory.latest.load();
        if (latest && core.inputs().sourceStream == latest) {
            ASSERT_TRUE(latest->waitForFrames(tick, std::chrono::seconds(5)));
        }
        core.render(tick, chunkLeft.data(), chunkRight.data());
        left.insert(left.end(), chunkLeft.begin(), chunkLeft.end());
        right.insert(right.end(), chunkRight.begin(), chunkRight.end());
        const auto rendered = static_cast<int64_t>(left.size());

        const bool wasFirst = player.currentTrackID() == firstID;
        player.poll(core.snapshot(AudioCore::Peaks::reset));
        // The next track opens on the player's worker; the device would play silence meanwhile.
        ASSERT_TRUE(executor.runUntil([&] { return !player.isOpeningStream(); }));
        if (player.state() != SourcePlayerEngine::State::playing) break;

        if (wasFirst && player.currentTrackID() == secondID) secondStartedAt = rendered;
        if (player.currentTrackID() == firstID) {
            EXPECT_EQ(player.position(), std::min(rendered, firstFrames));
            EXPECT_EQ(player.duration(), firstFrames);
        } else {
            ASSERT_EQ(player.currentTrackID(), secondID);
            EXPECT_EQ(player.position(), std::min(rendered - secondStartedAt, secondFrames));
            EXPECT_EQ(player.duration(), secondFrames);
        }
    }

    ASSERT_GE(secondStartedAt, firstFrames);
    EXPECT_EQ(player.state(), SourcePlayerEngine::State::stopped);
    EXPECT_EQ(player.position(), 0);
    EXPECT_EQ(player.currentTrackID(), secondID);
    EXPECT_EQ(core.inputs().sourceStream, nullptr);
    EXPECT_EQ(core.snapshot(AudioCore::Peaks::keep).underrunFrames, 0u);

    // The first file, a pause of less than one chunk, then the whole second file.
    const auto secondStart = static_cast<std::size_t>(secondStartedAt);
    const std::size_t secondEnd = secondStart + static_cast<std::size_t>(secondFrames);
    ASSERT_LE(secondEnd, left.size());
    EXPECT_LE(secondStart - static_cast<std::size_t>(firstFrames), std::size_t(AudioCore::maximumChunk));
    EXPECT_LE(longestSilence(left, right, secondEnd), std::size_t(AudioCore::maximumChunk));
    EXPECT_LT(test::peak(std::span(left).subspan(secondEnd)), 1e-4f);

    // Each file's own tone at the source volume, where it belongs.
    const auto firstPart = std::span(left).subspan(0, static_cast<std::size_t>(firstFrames));
    const auto secondPart = std::span(right).subspan(secondStart, static_cast<std::size_t>(secondFrames));
    EXPECT_NEAR(test::toneAmplitude(firstPart, 441.0), 0.5 * 0.8, 0.02);
    EXPECT_NEAR(test::toneAmplitude(secondPart, 1378.125), 0.5 * 0.8, 0.02);
    EXPECT_LT(test::toneAmplitude(secondPart, 441.0), 0.01);
}

}  // namespace
}  // namespace norvo
