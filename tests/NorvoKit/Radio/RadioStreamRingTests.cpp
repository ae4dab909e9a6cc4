#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "Radio/RadioStream.hpp"
#include "Support/AllocationCounter.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/RadioStreamTesting.hpp"

namespace norvo {

namespace {

using Testing = RadioStreamTesting;

class RadioStreamRingTest : public ::testing::Test {
protected:
    // Never started: no network activity, so the test thread may act as the loop.
    RadioStream stream{"http://127.0.0.1:9/station", "NorvoStudio/1.2 (+test)", 2.0};
    std::vector<float> left = std::vector<float>(8192), right = std::vector<float>(8192);

    int pull(int frames) { return stream.render(frames, left.data(), right.data()); }
    void consume(int64_t frames) {
        while (frames > 0) {
            const int chunk = static_cast<int>(std::min<int64_t>(frames, 4096));
            ASSERT_EQ(pull(chunk), chunk);
            frames -= chunk;
        }
    }
};

TEST_F(RadioStreamRingTest, PlaysOnlyOnceThePrebufferIsHeld) {
    const auto initial = stream.currentStatus();
    EXPECT_EQ(initial.network, RadioStream::Status::Network::connecting());
    EXPECT_EQ(initial.prebufferSeconds, 2.0);
    EXPECT_FALSE(initial.playing);

    Testing::beginConnection(stream);
    Testing::push(stream, 88199);
    EXPECT_FALSE(stream.currentStatus().playing);
    EXPECT_EQ(stream.currentStatus().network, RadioStream::Status::Network::streaming());
    EXPECT_EQ(pull(512), 0);
    Testing::push(stream, 1);
    const auto status = stream.currentStatus();
    EXPECT_TRUE(status.playing);
    EXPECT_DOUBLE_EQ(status.bufferedSeconds, 2.0);
    EXPECT_EQ(pull(512), 512);
    EXPECT_FLOAT_EQ(left[0], 0.5f);
    EXPECT_FLOAT_EQ(right[511], -0.5f);
}

TEST_F(RadioStreamRingTest, ShortPullCountsADropoutAndRebuffers) {
    Testing::beginConnection(stream);
    Testing::push(stream, 88200);
    consume(88200 - 300);
    EXPECT_EQ(pull(512), 300);
    auto status = stream.currentStatus();
    EXPECT_FALSE(status.playing);
    EXPECT_EQ(status.dropouts, 1);

    Testing::push(stream, 88199);
    EXPECT_EQ(pull(512), 0);
    EXPECT_EQ(stream.currentStatus().dropouts, 1);  // not playing: no further dropout
    Testing::push(stream, 1);
    EXPECT_EQ(pull(512), 512);
}

TEST_F(RadioStreamRingTest, OverflowDropsTheOldestFramesAndKeepsTitlesAligned) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='First';");
    EXPECT_EQ(stream.currentStatus().title, "First");
    // Fill the ring, queue a title at its end, then overflow by 1000 frames.
    for (std::size_t written = 0; written < RadioStream::ringCapacity; written += 8192) {
        Testing::pushRamp(stream, 8192, static_cast<float>(written));
    }
    Testing::metadata(stream, "StreamTitle='Second';");
    Testing::push(stream, 1000, -7.0f);
    auto status = stream.currentStatus();
    EXPECT_DOUBLE_EQ(status.bufferedSeconds, static_cast<double>(RadioStream::ringCapacity) / 44100.0);
    EXPECT_EQ(status.title, "First");
    // The oldest 1000 frames are gone: the next frame heard is frame 1000.
    ASSERT_EQ(pull(1), 1);
    EXPECT_FLOAT_EQ(left[0], 1000.0f);
    consume(static_cast<int64_t>(RadioStream::ringCapacity) - 1000 - 2);
    EXPECT_EQ(stream.currentStatus().title, "First");
    ASSERT_EQ(pull(1), 1);
    EXPECT_FLOAT_EQ(left[0], static_cast<float>(RadioStream::ringCapacity - 1));
    EXPECT_EQ(stream.currentStatus().title, "Second");  // its audio is next
    ASSERT_EQ(pull(1), 1);
    EXPECT_FLOAT_EQ(left[0], -7.0f);
}

// Frames 0..99999 received, each carrying its place; a burst numbered from 99000. Where the
// place kept to would hear frames twice, the join resumes past them after silence instead.
TEST_F(RadioStreamRingTest, JoinResumesAfterSilenceRatherThanHearFramesTwice) {
    const std::tuple<int64_t, int64_t, int, float> cases[] = {
        {99050, 98980, 70, 100020.0f},   // 50 frames twice: 70 of silence, resumed at 100020
        {99050, 99100, 0, 99950.0f},     // resuming later would not help
        {100100, 99980, 120, 99020.0f},  // kept to, a gap; measured since, an overlap
    };
    std::vector<float> burst(3000);
    std::iota(burst.begin(), burst.end(), 99000.0f);
    for (const auto& [origin, resume, silence, next] : cases) {
        RadioStream joined{"http://127.0.0.1:9/station", "NorvoStudio/1.2 (+test)", 2.0};
        Testing::beginConnection(joined);
        for (int written = 0; written < 100000; written += 10000) Testing::pushRamp(joined, 10000, float(written));
        Testing::joinHeld(joined, burst, origin, resume);
        for (int heard = 0; heard < 100000; heard += 4000)
            ASSERT_EQ(joined.render(4000, left.data(), right.data()), 4000);
        ASSERT_EQ(joined.render(silence + 1, left.data(), right.data()), silence + 1);
        EXPECT_EQ(std::count(left.begin(), left.begin() + silence, 0.0f), silence) << origin;
        EXPECT_EQ(left[std::size_t(silence)], next) << origin;
    }
}

TEST_F(RadioStreamRingTest, FirstTitleIsCurrentAtOnceLaterTitlesWhenTheirAudioIsHeard) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Opening';");
    auto status = stream.currentStatus();
    EXPECT_FALSE(status.playing);
    EXPECT_EQ(status.title, "Opening");
    EXPECT_EQ(status.titleSerial, 1);
    EXPECT_TRUE(status.titleKnown);

    Testing::push(stream, 100000);
    Testing::metadata(stream, "StreamTitle='Next';");  // stamped at frame 100000
    Testing::push(stream, 5000);
    consume(99999);
    EXPECT_EQ(stream.currentStatus().title, "Opening");
    consume(1);
    status = stream.currentStatus();
    EXPECT_EQ(status.title, "Next");
    EXPECT_EQ(status.titleSerial, 2);
}

TEST_F(RadioStreamRingTest, FirstTitleAfterAReconnectionWaitsForTheOldAudio) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Before';");
    Testing::push(stream, 90000);
    consume(40000);
    Testing::beginConnection(stream);  // 50000 frames of the old connection still buffered
    Testing::push(stream, 90000);
    Testing::metadata(stream, "StreamTitle='After';");  // first of this connection: stamped at 90000
    EXPECT_EQ(stream.currentStatus().title, "Before");
    consume(49999);
    EXPECT_EQ(stream.currentStatus().title, "Before");
    consume(1);
    EXPECT_EQ(stream.currentStatus().title, "After");
}

// The first title of a connection joined after a gap, and one that came while the stream
// had run dry, become current with their audio, not with the silence before it.
TEST_F(RadioStreamRingTest, TitlesAfterAGapOrADropoutWaitForTheirAudio) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='First';");
    Testing::push(stream, 100000);
    consume(100000);
    Testing::beginConnection(stream);
    Testing::holdFrames(stream);
    for (int i = 0; i < 20000; ++i) Testing::metadata(stream, "StreamTitle='Second';");
    Testing::metadata(stream, "StreamTitle='Third';");
    EXPECT_LE(Testing::heldTitleCount(stream), 1u);
    Testing::joinHeld(stream, std::vector<float>(100000, 0.25f), 100500, 100500);  // 500 frames never sent
    consume(499);
    EXPECT_EQ(stream.currentStatus().title, "First");
    consume(1);
    EXPECT_EQ(stream.currentStatus().title, "Third");

    consume(100000);
    EXPECT_EQ(pull(1), 0);  // ran dry
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Fourth';");
    Testing::push(stream, 1000);
    EXPECT_EQ(stream.currentStatus().title, "Third");
    Testing::push(stream, 88200);
    EXPECT_EQ(stream.currentStatus().title, "Fourth");
}

TEST_F(RadioStreamRingTest, BlockWithoutUsableTitleClearsTheTitleWhenDue) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Song';");
    Testing::push(stream, 90000);
    Testing::metadata(stream, "StreamTitle=' - ';");
    Testing::push(stream, 1000);
    EXPECT_EQ(stream.currentStatus().titleSerial, 1);
    consume(90000);
    const auto status = stream.currentStatus();
    EXPECT_EQ(status.title, std::nullopt);
    EXPECT_EQ(status.titleSerial, 2);
}

TEST_F(RadioStreamRingTest, RepeatsAreQueuedOnlyUntilTheTitleIsKnown) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Same';");
    Testing::push(stream, 90000);
    Testing::metadata(stream, "StreamTitle='Same';");  // still unknown: queued again
    stream.currentStatus();                            // releases the first: now known
    Testing::metadata(stream, "StreamTitle='Same';");  // dropped
    Testing::metadata(stream, "StreamTitle='Other';");
    Testing::push(stream, 1000);
    consume(90000);
    const auto status = stream.currentStatus();
    EXPECT_EQ(status.title, "Other");
    EXPECT_EQ(status.titleSerial, 2);  // "Same" counted once
}

TEST_F(RadioStreamRingTest, TitlesWithoutAudioBetweenThemDoNotPileUp) {
    // A station that sends title after title but no audio that decodes: however many
    // arrive, only the last one at each position can ever be heard.
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Opening';");
    Testing::push(stream, 1000);  // short of the prebuffer: nothing is heard yet
    for (int i = 0; i < 20000; ++i) Testing::metadata(stream, "StreamTitle='Flood " + std::to_string(i) + "';");
    EXPECT_LE(Testing::pendingTitleCount(stream), 2u);
    EXPECT_EQ(stream.currentStatus().title, "Opening");

    Testing::push(stream, 88200);
    consume(999);
    EXPECT_EQ(stream.currentStatus().title, "Opening");
    consume(1);
    const auto status = stream.currentStatus();
    EXPECT_EQ(status.title, "Flood 19999");
    EXPECT_EQ(status.titleSerial, 2);  // the heard title changed once
}

TEST_F(RadioStreamRingTest, EmptyMetadataBlocksAreIgnored) {
    Testing::beginConnection(stream);
    // An empty block (length byte 0) is not a missing title.
    Testing::metadata(stream, "");
    const auto status = stream.currentStatus();
    EXPECT_FALSE(status.titleKnown);
    EXPECT_EQ(status.titleSerial, 0);
}

TEST_F(RadioStreamRingTest, StationWithoutTitlesIsKnownAfterFourSecondsHeard) {
    Testing::beginConnection(stream);
    Testing::push(stream, 200000);
    consume(176400);
    EXPECT_FALSE(stream.currentStatus().titleKnown);
    consume(1);
    const auto status = stream.currentStatus();
    EXPECT_TRUE(status.titleKnown);
    EXPECT_EQ(status.title, std::nullopt);
    EXPECT_EQ(status.titleSerial, 0);
}

TEST_F(RadioStreamRingTest, RenderNeverAllocates) {
    Testing::beginConnection(stream);
    Testing::metadata(stream, "StreamTitle='Song';");
    Testing::push(stream, 90000);
    test::AllocationCounter counter;
    EXPECT_EQ(pull(512), 512);
    consume(90000 - 512 - 100);
    EXPECT_EQ(pull(512), 100);  // the dropout path too
    EXPECT_EQ(pull(512), 0);
    EXPECT_EQ(counter.allocations(), 0u);
    EXPECT_EQ(counter.deallocations(), 0u);
}

TEST_F(RadioStreamRingTest, TextAndTitlesNeverWaitOnTheRenderLock) {
    // The render waits on its lock: whoever holds it must not allocate or copy text. So
    // the status, its strings and the title queue live elsewhere: all of them work while
    // the render lock is held.
    Testing::beginConnection(stream);
    Testing::push(stream, 90000);
    std::unique_lock renderHeld(Testing::renderLock(stream));
    auto work = std::async(std::launch::async, [&] {
        Testing::decoderReady(stream, {"AAC+", 2, 48000});
        for (int i = 0; i < 1000; ++i)
            Testing::metadata(stream,
                              "StreamTitle='A title long enough to be kept on the heap " + std::to_string(i) + "';");
        return stream.currentStatus();
    });
    ASSERT_EQ(work.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "waited on the render lock";
    renderHeld.unlock();
    const auto status = work.get();
    EXPECT_EQ(status.format, "AAC+");
    EXPECT_EQ(status.sampleRate, 48000);

    // The one writer that takes the render lock allocates nothing at all.
    const std::vector<float> frames(8192, 0.25f);
    {
        test::AllocationCounter counter;
        Testing::pushFrames(stream, frames.data(), frames.data(), frames.size());
        EXPECT_EQ(counter.allocations(), 0u);
        EXPECT_EQ(counter.deallocations(), 0u);
    }
    consume(90000);
    EXPECT_EQ(stream.currentStatus().title, "A title long enough to be kept on the heap 999");
}

TEST_F(RadioStreamRingTest, StopEndsPlayingAndPrebufferCannotRestartIt) {
    Testing::beginConnection(stream);
    Testing::push(stream, 88200);
    EXPECT_TRUE(stream.currentStatus().playing);
    stream.stop();
    EXPECT_EQ(pull(512), 0);
    Testing::push(stream, 88200);
    EXPECT_FALSE(stream.currentStatus().playing);
    EXPECT_EQ(stream.currentStatus().network, RadioStream::Status::Network::streaming());
}

}  // namespace
}  // namespace norvo
