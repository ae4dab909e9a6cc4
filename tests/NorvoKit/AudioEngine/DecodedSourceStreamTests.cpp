#include "AudioEngine/DecodedSourceStream.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "AudioEngine/AudioFileDecoder.hpp"
#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "AudioEngine/NorvoAudioError.hpp"
#include "Support/AllocationCounter.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/SignalMeasure.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;
using test::StereoSamples;

constexpr auto patience = 10s;

StereoSamples decodeWhole(const std::filesystem::path& file) {
    AudioFileDecoder decoder(file);
    StereoSamples out;
    out.left.resize(std::size_t(decoder.durationFrames()) + 8192);
    out.right.resize(out.left.size());
    const int n = decoder.read(out.left.data(), out.right.data(), int(out.left.size()));
    out.left.resize(std::size_t(n));
    out.right.resize(std::size_t(n));
    return out;
}

// Pulls the way the render does, in small blocks, until the stream is drained.
StereoSamples pullAll(DecodedSourceStream& stream, int block = 512) {
    StereoSamples out;
    std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));
    while (!stream.isDrained()) {
        EXPECT_TRUE(stream.waitForFrames(block, patience));
        const int n = stream.pull(block, left.data(), right.data());
        out.left.insert(out.left.end(), left.begin(), left.begin() + n);
        out.right.insert(out.right.end(), right.begin(), right.begin() + n);
    }
    return out;
}

int decoderThreads() {
    const std::string expected = std::string(DecodedSourceStream::decoderThreadName).substr(0, 15);
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name == expected) ++count;
    }
    return count;
}

// A joined thread can stay listed in /proc for a moment after join() returns (the
// kernel wakes the joiner before it reaps the task), so a falling count is awaited.
int decoderThreadsSettlingAt(int expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int count = decoderThreads();
    while (count != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
        count = decoderThreads();
    }
    return count;
}

class DecodedSourceStreamTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        directory_ = std::make_unique<test::TemporaryDirectory>();
        test::generateNoise(noisePath(), 3.0);
        reference_ = std::make_unique<StereoSamples>(decodeWhole(noisePath()));
    }
    static void TearDownTestSuite() {
        reference_.reset();
        directory_.reset();
    }
    static std::filesystem::path noisePath() { return *directory_ / "noise.flac"; }
    static const StereoSamples& reference() { return *reference_; }

    static inline std::unique_ptr<test::TemporaryDirectory> directory_;
    static inline std::unique_ptr<StereoSamples> reference_;
};

TEST_F(DecodedSourceStreamTest, DeliversEveryFrameOfTheFileInOrderThenDrains) {
    DecodedSourceStream stream(noisePath(), 0);
    EXPECT_EQ(stream.duration(), 132300);
    EXPECT_EQ(stream.position(), 0);
    const StereoSamples pulled = pullAll(stream, 441);
    ASSERT_EQ(pulled.frames(), reference().frames());
    EXPECT_EQ(test::maximumDifference(pulled.left, reference().left), 0.0f);
    EXPECT_EQ(test::maximumDifference(pulled.right, reference().right), 0.0f);
    EXPECT_EQ(stream.position(), 132300);
    EXPECT_TRUE(stream.isDrained());
    EXPECT_EQ(stream.decodingError(), std::nullopt);
    float left[8], right[8];
    EXPECT_EQ(stream.pull(8, left, right), 0);
}

TEST_F(DecodedSourceStreamTest, StartsExactlyAtTheRequestedFrame) {
    const int64_t start = 44100 + 7;
    DecodedSourceStream stream(noisePath(), start);
    EXPECT_EQ(stream.position(), start);
    const StereoSamples pulled = pullAll(stream);
    ASSERT_EQ(int64_t(pulled.frames()), 132300 - start);
    EXPECT_EQ(test::maximumDifference(pulled.left, std::span(reference().left).subspan(std::size_t(start))), 0.0f);
    EXPECT_EQ(stream.position(), 132300);
}

TEST_F(DecodedSourceStreamTest, KeepsTheRingFilledUpToItsCapacity) {
    DecodedSourceStream stream(noisePath(), 0, 0.25);
    EXPECT_EQ(stream.capacity(), 11025);
    ASSERT_TRUE(stream.waitForFrames(stream.capacity(), patience));
    EXPECT_EQ(stream.availableFrames(), stream.capacity());

    // Pulled frames are replaced, across the ring's wrap-around, in order.
    std::vector<float> left(7000), right(7000);
    StereoSamples pulled;
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(stream.waitForFrames(stream.capacity(), patience));
        EXPECT_EQ(stream.availableFrames(), stream.capacity());
        const int n = stream.pull(7000, left.data(), right.data());
        ASSERT_EQ(n, 7000);
        pulled.left.insert(pulled.left.end(), left.begin(), left.end());
    }
    EXPECT_EQ(test::maximumDifference(pulled.left, std::span(reference().left).first(28000)), 0.0f);
}

TEST_F(DecodedSourceStreamTest, EachStreamRunsOneNamedDecoderThreadThatEndsOnCancel) {
    const int before = decoderThreads();
    // Small rings, so that neither decoder can finish the file and end on its own.
    auto first = std::make_unique<DecodedSourceStream>(noisePath(), 0, 0.25);
    auto second = std::make_unique<DecodedSourceStream>(noisePath(), 1000, 0.25);
    EXPECT_EQ(decoderThreads(), before + 2);

    ASSERT_TRUE(first->waitForFrames(4096, patience));
    first->cancel();
    EXPECT_EQ(decoderThreadsSettlingAt(before + 1), before + 1);
    float left[64], right[64];
    EXPECT_EQ(first->pull(64, left, right), 0);
    EXPECT_EQ(first->availableFrames(), 0);

    second.reset();
    EXPECT_EQ(decoderThreadsSettlingAt(before), before);
}

TEST_F(DecodedSourceStreamTest, PullingNeitherAllocatesNorFrees) {
    DecodedSourceStream stream(noisePath(), 0);
    ASSERT_TRUE(stream.waitForFrames(44100, patience));
    float left[512], right[512];
    test::AllocationCounter counter;
    for (int i = 0; i < 50; ++i) {
        stream.pull(512, left, right);
        (void)stream.availableFrames();
        (void)stream.isDrained();
        (void)stream.position();
    }
    EXPECT_EQ(counter.allocations(), 0u);
    EXPECT_EQ(counter.deallocations(), 0u);
}

TEST_F(DecodedSourceStreamTest, CancellingWhileAnotherThreadPullsIsSafe) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        DecodedSourceStream stream(noisePath(), attempt * 1000);
        std::atomic<bool> stop{false};
        std::thread render([&] {
            float left[256], right[256];
            while (!stop.load()) stream.pull(256, left, right);
        });
        stream.waitForFrames(2048, patience);
        stream.cancel();
        stop = true;
        render.join();
        EXPECT_EQ(stream.availableFrames(), 0);
    }
}

class DecodedSourceStreamFileTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory_;
};

TEST_F(DecodedSourceStreamFileTest, AFileCutShortEndsTheStreamEarly) {
    const auto path = directory_ / "cut.wav";
    test::generateTone(path, 2.0, 440, 660);
    test::truncateFile(path, std::filesystem::file_size(path) / 2);
    DecodedSourceStream stream(path, 0);
    const StereoSamples pulled = pullAll(stream);
    EXPECT_GT(pulled.frames(), 40000u);
    EXPECT_LT(pulled.frames(), 88200u);
    EXPECT_TRUE(stream.isDrained());
    EXPECT_EQ(stream.duration(), int64_t(pulled.frames()));
}

TEST_F(DecodedSourceStreamFileTest, AStartBeyondTheEndGivesADrainedStream) {
    const auto path = directory_ / "short.wav";
    test::generateTone(path, 0.5, 440, 660);
    DecodedSourceStream stream(path, 50000);
    EXPECT_TRUE(stream.isDrained());
    EXPECT_EQ(stream.availableFrames(), 0);
}

TEST_F(DecodedSourceStreamFileTest, AFileWithoutDecodableAudioFailsToOpen) {
    const auto path = directory_ / "hollow.flac";
    test::generateNoise(path, 1.0);
    // Keep the headers, wipe every audio frame.
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const auto size = std::filesystem::file_size(path);
    file.seekp(8400);
    file << std::string(size - 8400, '\0');
    file.close();
    EXPECT_THROW(DecodedSourceStream stream(path, 0), NorvoAudioError);
}

TEST_F(DecodedSourceStreamFileTest, TheFactoryOpensStreamsAndProbesDurations) {
    const auto path = directory_ / "song.mp3";
    test::generateTone(path, 1.0, 440, 660);
    DecodedSourceStreamFactory factory;
    EXPECT_EQ(factory.probeDuration(path), std::optional<int64_t>(44100));
    EXPECT_EQ(factory.probeDuration(directory_ / "missing.mp3"), std::nullopt);

    const std::unique_ptr<SourceStream> stream = factory.open(path, 22050);
    EXPECT_EQ(stream->position(), 22050);
    // The MP3's headers overstate its length; the decoder thread puts that right.
    auto& decoded = dynamic_cast<DecodedSourceStream&>(*stream);
    ASSERT_TRUE(decoded.waitForFrames(decoded.capacity(), patience));
    EXPECT_EQ(stream->duration(), 44100);
    try {
        factory.open(directory_ / "missing.mp3", 0);
        FAIL() << "opened a missing file";
    } catch (const NorvoAudioError& error) {
        EXPECT_EQ(std::string(error.what()), "missing.mp3 cannot be found.");
    }
}

TEST_F(DecodedSourceStreamFileTest, AMeasuredLengthIsTakenAsGivenAndAScanCanBeStopped) {
    const auto path = directory_ / "song.mp3";
    test::generateTone(path, 1.0, 440, 660);
    DecodedSourceStreamFactory factory;

    // Already measured: the stream does not read the file through again.
    const std::unique_ptr<SourceStream> stream = factory.open(path, 0, 44100);
    EXPECT_EQ(stream->duration(), 44100) << "not the headers' estimate";

    // Whoever waits for a length scan may give up on it at any time.
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(factory.probeDuration(path, &cancelled), std::nullopt);
    const std::atomic<bool> wanted{false};
    EXPECT_EQ(factory.probeDuration(path, &wanted), std::optional<int64_t>(44100));
}

}  // namespace
}  // namespace norvo
