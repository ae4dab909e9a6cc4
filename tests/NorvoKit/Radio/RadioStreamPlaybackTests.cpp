// A RadioStream with the real decoder, fed by a station on the loopback server: the
// formats it reports and plays, title timing against the bytes the station sent, the
// ring when nothing pulls, and a station heard through the audio core in real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "Platform/HttpLoop.hpp"
#include "Radio/BurstMatch.hpp"
#include "Radio/RadioStream.hpp"
#include "Radio/RadioStreamDecoder.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/LiveStation.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RadioFixtures.hpp"
#include "Support/RadioStreamTesting.hpp"
#include "Support/SignalMeasure.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using test::LoopbackHttpServer;
using test::RadioCodec;
using Network = RadioStream::Status::Network;

constexpr const char* userAgent = "NorvoStudio/1.2 (+test)";
constexpr int pullFrames = 512;
// Every wait on the network is bounded; a healthy loopback transfer takes milliseconds.
constexpr double patience = 20.0;

// MP3 without an ID3 tag or info frame, so that byte offsets map onto codec frames.
std::vector<std::string> bareMp3() {
    auto args = RadioCodec::mp3Cbr(128);
    args.insert(args.end() - 2, {"-write_xing", "0", "-id3v2_version", "0"});
    return args;
}

// A station that sends `body` at once and then keeps the connection open.
LoopbackHttpServer::Script station(const std::string& body, const std::string& mimeType, std::size_t metaInterval) {
    LoopbackHttpServer::Script script;
    script.statusLine = "ICY 200 OK";
    script.headers = {{"Content-Type", mimeType}, {"icy-name", "Loopback FM"}};
    if (metaInterval > 0) script.headers.push_back({"icy-metaint", std::to_string(metaInterval)});
    script.body = body;
    script.closeAfter = body.size();
    script.stall = true;
    return script;
}

class RadioStreamPlaybackTest : public testing::Test {
protected:
    LoopbackHttpServer server{16, 60};
    std::shared_ptr<HttpLoop> loop = std::make_shared<HttpLoop>("radio-test");
    std::unique_ptr<RadioStream> stream;
    std::vector<float> left = std::vector<float>(pullFrames), right = std::vector<float>(pullFrames);

    void TearDown() override {
        if (stream) stream->stop();
        stream.reset();
        server.stop();
    }

    void open(const std::string& path, double prebuffer = 2.0) {
        RadioStream::Options options;
        options.loop = loop;
        stream = std::make_unique<RadioStream>(server.url(path), userAgent, prebuffer, options);
        stream->start();
    }

    bool waitFor(const std::function<bool(const RadioStream::Status&)>& condition) {
        return loop->waitUntil([&] { return condition(stream->currentStatus()); }, patience);
    }

    // Pulls `seconds` of audio in render-sized pieces and keeps it.
    test::StereoSamples pull(double seconds) {
        test::StereoSamples out;
        const auto frames = static_cast<std::size_t>(seconds * 44100);
        while (out.frames() < frames) {
            const int want = static_cast<int>(std::min<std::size_t>(pullFrames, frames - out.frames()));
            const int n = stream->render(want, left.data(), right.data());
            if (n == 0) break;
            out.left.insert(out.left.end(), left.begin(), left.begin() + n);
            out.right.insert(out.right.end(), right.begin(), right.begin() + n);
        }
        return out;
    }
};

// --- Formats through the whole receiver ---------------------------------------------------

struct StationCase {
    std::string name;
    std::string mimeType;
    std::string extension;
    std::vector<std::string> codecArgs;  // empty: the committed HE-AAC fixture
    int sampleRate;
    int channels;
    std::string label;

    friend void PrintTo(const StationCase& c, std::ostream* os) { *os << c.name; }
};

class StationFormatTest : public RadioStreamPlaybackTest, public testing::WithParamInterface<StationCase> {};

TEST_P(StationFormatTest, ReportsTheFormatAndPlaysTheToneAfterThePrebuffer) {
    const StationCase& c = GetParam();
    const std::string audio = c.codecArgs.empty()
                                  ? test::readBytes(test::committedFixture("tone-he-aac.aac"))
                                  : test::encodedTone(c.extension, c.codecArgs, 3.0, c.sampleRate, c.channels);
    const std::vector<std::string> titles = {"StreamTitle='Loopback tone';"};
    server.route("/live", station(LoopbackHttpServer::icyInterleave(audio, 8192, titles), c.mimeType, 8192));
    open("/live");

    ASSERT_TRUE(waitFor([](const auto& s) { return s.playing && s.bufferedSeconds >= 2.5; }));
    const auto status = stream->currentStatus();
    EXPECT_EQ(status.network, Network::streaming());
    EXPECT_EQ(status.format, c.label);
    EXPECT_EQ(status.channels, c.channels);
    EXPECT_EQ(status.sampleRate, c.sampleRate);
    EXPECT_EQ(status.stationName, "Loopback FM");
    EXPECT_EQ(status.title, "Loopback tone");
    EXPECT_TRUE(status.titleKnown);

    const test::StereoSamples heard = pull(2.0);
    ASSERT_EQ(heard.frames(), 88200u);
    const std::span<const float> l(heard.left.data() + 22050, 44100), r(heard.right.data() + 22050, 44100);
    EXPECT_NEAR(test::toneAmplitude(l, 440.0), 0.5, 0.05);
    if (c.channels == 1) {
        EXPECT_NEAR(test::toneAmplitude(r, 440.0), 0.5, 0.05);  // mono on both sides
    } else {
        EXPECT_NEAR(test::toneAmplitude(r, 1000.0), 0.5, 0.05);
        EXPECT_LT(test::toneAmplitude(l, 1000.0), 0.01);
    }
    EXPECT_EQ(stream->currentStatus().dropouts, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Stations, StationFormatTest,
    testing::Values(StationCase{"Mp3Stereo48k", "audio/mpeg", "mp3", RadioCodec::mp3Cbr(), 48000, 2, "MP3"},
                    StationCase{"Mp2SentAsMpeg", "audio/mpeg", "mp2", RadioCodec::mp2(), 44100, 2, "MP2"},
                    StationCase{"AacMono22k", "audio/aacp", "aac", RadioCodec::aacAdts(48), 22050, 1, "AAC"},
                    StationCase{"Aac51", "audio/aac", "aac", RadioCodec::aacAdts(256), 48000, 6, "AAC"},
                    StationCase{"HeAac", "audio/aacp", "aac", {}, 44100, 2, "AAC+"}),
    [](const testing::TestParamInfo<StationCase>& info) { return info.param.name; });

TEST_F(RadioStreamPlaybackTest, AnHtmlPageInPlaceOfTheStreamFails) {
    LoopbackHttpServer::Script page;
    page.headers = {{"Content-Type", "audio/mpeg"}};
    page.body = "<!DOCTYPE html><html><body>This station has moved.</body></html>\n";
    page.contentLength = true;
    server.route("/live", page);
    open("/live");

    ASSERT_TRUE(waitFor([](const auto& s) { return s.network.state == Network::State::failed; }));
    EXPECT_EQ(stream->currentStatus().network, Network::failed("Unsupported stream format"));
    EXPECT_EQ(server.requestCount("/live"), 1u);  // a decoder failure is final
}

// --- Title timing -------------------------------------------------------------------------

// Decoded frames that the MP3 frames lying wholly before `offset` give (MPEG-1 layer III,
// 1152 frames each).
int64_t framesBefore(const std::string& mp3, std::size_t offset) {
    static constexpr int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int rates[] = {44100, 48000, 32000};
    int64_t frames = 0;
    for (std::size_t at = 0; at + 4 <= mp3.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(mp3.data() + at);
        const std::size_t length = 144000 * kbps[p[2] >> 4] / rates[(p[2] >> 2) & 3] + ((p[2] >> 1) & 1);
        if (at + length > offset) break;
        at += length;
        frames += 1152;
    }
    return frames;
}

TEST_F(RadioStreamPlaybackTest, ATitleBecomesCurrentWhenTheAudioAfterItsBlockIsHeard) {
    constexpr std::size_t interval = 16000;  // one second at 128 kbit/s
    const std::string audio = test::encodedTone("mp3", bareMp3(), 6.0, 44100, 2);
    // Block 0 (after the first interval) opens the connection; the next title arrives
    // after three intervals.
    const std::vector<std::string> blocks = {"StreamTitle='Intro';", "", "StreamTitle='Song B';"};
    server.route("/live", station(LoopbackHttpServer::icyInterleave(audio, interval, blocks), "audio/mpeg", interval));
    open("/live");
    ASSERT_TRUE(waitFor([](const auto& s) { return s.playing && s.bufferedSeconds >= 4.0; }));

    auto status = stream->currentStatus();
    EXPECT_EQ(status.title, "Intro");  // the first title of a connection belongs to its start
    EXPECT_EQ(status.titleSerial, 1);

    const int64_t due = framesBefore(audio, 3 * interval);
    int64_t heard = 0;
    while (stream->currentStatus().title == "Intro" && heard < due + 44100) {
        ASSERT_EQ(stream->render(pullFrames, left.data(), right.data()), pullFrames);
        heard += pullFrames;
    }
    status = stream->currentStatus();
    EXPECT_EQ(status.title, "Song B");
    EXPECT_EQ(status.titleSerial, 2);
    // Released by the pull that reached it: within one codec frame and one pull.
    EXPECT_GE(heard, due - 1152);
    EXPECT_LE(heard, due + 1152 + pullFrames);
}

TEST_F(RadioStreamPlaybackTest, AStalledRenderLosesTheOldestAudioAndTitlesStayAligned) {
    constexpr std::size_t interval = 16000;
    constexpr int seconds = 30;  // longer than the ring
    const std::string audio = test::encodedTone("mp3", bareMp3(), seconds, 44100, 2);
    std::vector<std::string> blocks;
    for (int i = 0; i < seconds; ++i) blocks.push_back("StreamTitle='Part " + std::to_string(i) + "';");

    // Where each title is stamped: the frames decoded from the audio before its block
    // (the first title of a connection belongs to the connection's start).
    struct Counter final : RadioStreamDecoder::Client {
        int64_t frames = 0;
        void decoderReady(const RadioStreamDecoder::Format&) override {}
        void decodedFrames(const float*, const float*, int n) override { frames += n; }
        void decoderFailed(const std::string&) override {}
    } counter;
    std::vector<int64_t> stamps;
    {
        RadioStreamDecoder reference(RadioStreamDecoder::Hint::mpegLayer3, counter);
        for (std::size_t at = 0; at < audio.size(); at += interval) {
            const std::size_t n = std::min(interval, audio.size() - at);
            reference.feed(reinterpret_cast<const uint8_t*>(audio.data()) + at, n);
            if (n == interval) stamps.push_back(stamps.empty() ? 0 : counter.frames);
        }
    }
    const int64_t total = counter.frames;
    const int64_t dropped = total - int64_t(RadioStream::ringCapacity);
    ASSERT_GT(dropped, 0);

    // The station sends everything at once and closes; the reconnection finds it gone.
    LoopbackHttpServer::Script whole =
        station(LoopbackHttpServer::icyInterleave(audio, interval, blocks), "audio/mpeg", interval);
    whole.stall = false;
    server.routeSequence("/live", {whole, LoopbackHttpServer::status(503, "Service Unavailable")});
    open("/live");
    // The end of the transfer is seen only after all of its audio was decoded.
    ASSERT_TRUE(waitFor([](const auto& s) {
        return s.network.state != Network::State::streaming && s.network.state != Network::State::connecting;
    }));

    auto status = stream->currentStatus();
    EXPECT_DOUBLE_EQ(status.bufferedSeconds, double(RadioStream::ringCapacity) / 44100);
    EXPECT_TRUE(status.playing);
    EXPECT_EQ(status.dropouts, 0);
    // The dropped frames count as heard: the title is the one of the oldest audio left.
    const auto next = std::upper_bound(stamps.begin(), stamps.end(), dropped);
    ASSERT_NE(next, stamps.end());
    const auto current = std::size_t(next - stamps.begin() - 1);
    EXPECT_EQ(status.title, "Part " + std::to_string(current));

    int64_t heard = 0;
    while (stream->currentStatus().title == status.title && heard < 3 * 44100) {
        ASSERT_EQ(stream->render(pullFrames, left.data(), right.data()), pullFrames);
        heard += pullFrames;
    }
    EXPECT_EQ(stream->currentStatus().title, "Part " + std::to_string(current + 1));
    // Exactly where its audio begins, to the pull.
    EXPECT_GE(dropped + heard, *next);
    EXPECT_LT(dropped + heard - pullFrames, *next);
}

// --- Reconnections to a server that sends a burst of recent audio ------------------------------

// A live station as real servers run one: each new listener first gets the last
// `burst` bytes of the stream, then the stream goes on from where it is.
// With `titles`, the stream carries a metadata block after every 16000 audio bytes of the
// connection, the i-th holding titles[i].
LoopbackHttpServer::Script burstThenLive(const std::string& stream, std::size_t live, std::size_t burst,
                                         std::size_t end, const std::vector<std::string>& titles = {}) {
    const std::size_t from = live > burst ? live - burst : 0;
    const std::string audio = stream.substr(from, end - from);
    if (titles.empty()) return station(audio, "audio/mpeg", 0);
    std::vector<std::string> blocks;
    for (const auto& title : titles) blocks.push_back("StreamTitle='" + title + "';");
    return station(LoopbackHttpServer::icyInterleave(audio, 16000, blocks), "audio/mpeg", 16000);
}

TEST_F(RadioStreamPlaybackTest, AReconnectionSkipsTheBurstAlreadyReceivedAndJoinsExactly) {
    constexpr std::size_t bytesPerSecond = 16000;  // 128 kbit/s
    const std::string noise = [] {
        test::TemporaryDirectory scratch;
        test::generateNoise(scratch / "noise.mp3", 12.0, 44100, 2, bareMp3());
        return test::readBytes(scratch / "noise.mp3");
    }();
    const std::size_t dropAt = 6 * bytesPerSecond + 517;  // mid-frame, as a drop would be
    const std::size_t end = 10 * bytesPerSecond;
    // The first connection breaks off; the second starts three seconds back, then goes on.
    // The song changes one second after the drop: the second connection's fourth block.
    LoopbackHttpServer::Script first = burstThenLive(noise, 0, 0, dropAt, std::vector<std::string>(6, "Song A"));
    first.stall = false;
    first.reset = true;
    server.routeSequence("/live", {first, burstThenLive(noise, dropAt, 3 * bytesPerSecond, end,
                                                        {"Song A", "Song A", "Song A", "Song B", "Song B"})});
    open("/live");
    const int64_t songB = framesBefore(noise, dropAt - 3 * bytesPerSecond + 4 * 16000);

    const test::StereoSamples reference = test::decodedStation(noise.substr(0, end));
    const auto expected = static_cast<double>(framesBefore(noise, end));
    ASSERT_TRUE(waitFor([&](const auto& s) {
        return s.network == Network::streaming() && s.bufferedSeconds * 44100 >= expected - 3 * 1152;
    })) << stream->currentStatus().bufferedSeconds;
    EXPECT_EQ(server.requestCount("/live"), 2u);

    EXPECT_EQ(stream->currentStatus().title, "Song A");

    // Every frame once, in order: what is heard is the station's audio without a seam; the
    // title changes with the audio that follows its block.
    test::StereoSamples heard;
    std::optional<int64_t> changedAt;
    for (test::StereoSamples piece = pull(0.1); piece.frames() > 0; piece = pull(0.1)) {
        heard.left.insert(heard.left.end(), piece.left.begin(), piece.left.end());
        heard.right.insert(heard.right.end(), piece.right.begin(), piece.right.end());
        if (!changedAt && stream->currentStatus().title == "Song B") changedAt = int64_t(heard.frames());
    }
    ASSERT_TRUE(changedAt);
    EXPECT_GE(*changedAt, songB - 2 * 1152);
    EXPECT_LE(*changedAt, songB + 1152 + 4410);
    EXPECT_EQ(stream->currentStatus().titleSerial, 2);
    EXPECT_LE(double(heard.frames()), expected + 1152);
    ASSERT_LE(heard.frames(), reference.frames());
    const auto [worst, worstAt] = test::worstDifference(heard, reference);
    EXPECT_LT(worst, 1e-4f) << "at frame " << worstAt << " of " << heard.frames();
}

// Averages of 32 frames: insensitive to where between two frames a resampler fell.
double averagedCorrelation(std::span<const float> a, std::span<const float> b) {
    double sumAB = 0, sumA = 0, sumAA = 0, sumB = 0, sumBB = 0;
    const std::size_t blocks = std::min(a.size(), b.size()) / 32;
    for (std::size_t k = 0; k < blocks; ++k) {
        double x = 0, y = 0;
        for (std::size_t i = 0; i < 32; ++i) {
            x += a[k * 32 + i];
            y += b[k * 32 + i];
        }
        sumAB += x * y;
        sumA += x;
        sumAA += x * x;
        sumB += y;
        sumBB += y * y;
    }
    const double n = double(blocks);
    return (sumAB - sumA * sumB / n) / std::sqrt((sumAA - sumA * sumA / n) * (sumBB - sumB * sumB / n));
}

TEST_F(RadioStreamPlaybackTest, AReconnectionOfAResampledStationSkipsTheBurstToo) {
    // At 48 kHz the second connection's audio is resampled from another phase: its frames
    // lie between those of the first. Bright noise is the hardest case for the match.
    constexpr std::size_t bytesPerSecond = 16000;
    const std::string noise = [] {
        test::TemporaryDirectory scratch;
        test::generateNoise(scratch / "noise.mp3", 12.0, 48000, 2, bareMp3());
        return test::readBytes(scratch / "noise.mp3");
    }();
    const std::size_t dropAt = 6 * bytesPerSecond + 517;
    const std::size_t end = 10 * bytesPerSecond;
    LoopbackHttpServer::Script first = burstThenLive(noise, 0, 0, dropAt);
    first.stall = false;
    first.reset = true;
    server.routeSequence("/live", {first, burstThenLive(noise, dropAt, 3 * bytesPerSecond, end)});
    open("/live");

    const test::StereoSamples reference = test::decodedStation(noise.substr(0, end));
    const double expected = double(framesBefore(noise, end)) * 44100 / 48000;
    ASSERT_TRUE(waitFor([&](const auto& s) {
        return s.network == Network::streaming() && s.bufferedSeconds * 44100 >= expected - 3 * 1152;
    })) << stream->currentStatus().bufferedSeconds;
    const test::StereoSamples heard = pull(20.0);
    EXPECT_LE(double(heard.frames()), expected + 1152);
    // In step with the station on both sides of the join (about six seconds in).
    for (const std::size_t from : {std::size_t(3 * 44100), std::size_t(6.5 * 44100), std::size_t(8.5 * 44100)}) {
        ASSERT_LE(from + 22050, std::min(heard.frames(), reference.frames()));
        EXPECT_GT(averagedCorrelation(std::span<const float>(heard.left).subspan(from, 22050),
                                      std::span<const float>(reference.left).subspan(from, 22050)),
                  0.95)
            << "at " << from;
    }
}

TEST_F(RadioStreamPlaybackTest, AReconnectionWithNothingInCommonKeepsTheBacklogShort) {
    // The station came back with other audio (a restarted encoder, another programme).
    const std::string before = test::encodedTone("mp3", bareMp3(), 10.0, 44100, 2);
    const std::string after = test::encodedTone("mp3", bareMp3(), 3.0, 44100, 2, 523.0, 784.0);
    LoopbackHttpServer::Script first = station(before, "audio/mpeg", 0);
    first.stall = false;
    server.routeSequence("/live", {first, station(after, "audio/mpeg", 0)});
    open("/live", 2.0);

    // Ten seconds wait in the ring when the first connection ends; a second is heard.
    ASSERT_TRUE(waitFor([](const auto& s) { return s.network.state == Network::State::reconnecting; }));
    EXPECT_GT(stream->currentStatus().bufferedSeconds, 9.0);
    test::StereoSamples heard = pull(1.0);
    ASSERT_EQ(heard.frames(), 44100u);

    const double afterSeconds = double(framesBefore(after, after.size())) / 44100;
    ASSERT_TRUE(waitFor([&](const auto& s) {
        return s.network == Network::streaming() && s.bufferedSeconds >= 2.0 + afterSeconds - 0.1;
    })) << stream->currentStatus().bufferedSeconds;
    // The prebuffer of the old audio, then the new: not eleven seconds behind.
    EXPECT_LE(stream->currentStatus().bufferedSeconds, 2.0 + afterSeconds + 0.05);

    const test::StereoSamples rest = pull(20.0);
    heard.left.insert(heard.left.end(), rest.left.begin(), rest.left.end());
    ASSERT_GT(heard.left.size(), 44100u + 88200u + 44100u);
    // The old audio jumps ahead right after what was heard, faded: no click, the 440 Hz
    // tone's own largest step (about 0.03) at most.
    float largestStep = 0;
    for (std::size_t i = 44100 - 100; i < 44100 + 2000; ++i)
        largestStep = std::max(largestStep, std::fabs(heard.left[i] - heard.left[i - 1]));
    EXPECT_LT(largestStep, 0.05f);
    EXPECT_NEAR(test::toneAmplitude(std::span<const float>(heard.left.data() + 44100 + 22050, 22050), 440.0), 0.5,
                0.05);
    EXPECT_NEAR(test::toneAmplitude(std::span<const float>(heard.left.data() + 44100 + 88200 + 22050, 22050), 523.0),
                0.5, 0.05);
}

// --- Reconnections to a live station whose audio repeats ------------------------------------

struct RepeatingCase {
    std::string name;
    std::vector<std::string> expressions;  // one per channel, as generateSignal takes them
    double burstSeconds;                   // what the station re-sends to a new listener
    friend void PrintTo(const RepeatingCase& c, std::ostream* os) { *os << c.name; }
};

// A stream on the clock of a live station: the station's time and the stream's move together.
class LiveStationTest : public RadioStreamPlaybackTest {
protected:
    std::shared_ptr<test::ManualLoopClock> clock = std::make_shared<test::ManualLoopClock>();
    std::shared_ptr<std::atomic<uint64_t>> fed = std::make_shared<std::atomic<uint64_t>>(0);
    std::unique_ptr<test::LiveStation> station;

    void TearDown() override {
        if (stream) stream->stop();
        stream.reset();
        if (station) station->close();
        RadioStreamPlaybackTest::TearDown();
    }

    void tuneIn(test::LiveStation::Options options) {
        station = std::make_unique<test::LiveStation>(server, "/live", clock, std::move(options));
        loop = std::make_shared<HttpLoop>("radio-test", clock);
        RadioStream::Options streamOptions;
        streamOptions.loop = loop;
        streamOptions.decoderFactory = test::countingDecoders(fed);
        stream = std::make_unique<RadioStream>(server.url("/live"), userAgent, 2.0, streamOptions);
        stream->start();
    }

    // Everything the station sent on its `connections` has been decoded.
    bool takenIn(std::size_t connections) {
        if (!station->waitUntilSent(connections)) return false;
        uint64_t sent = 0;
        for (const auto& [from, to] : station->sent()) sent += to - from;
        // A join's comparisons run off the loop, in real time: the clock waits for them.
        return loop->waitUntil([&] { return fed->load() == sent && !RadioStreamTesting::comparing(*stream); },
                               patience);
    }

    // Moves both clocks in steps, letting the stream take in what each step put on the air:
    // a live stream comes in small pieces.
    bool advance(double seconds, std::size_t connections, double step = 0.05) {
        for (double done = 0; done < seconds - 1e-9; done += step) {
            clock->advance(std::min(step, seconds - done));
            if (!takenIn(connections)) return false;
        }
        return true;
    }
};

class RepeatingStationTest : public LiveStationTest, public testing::WithParamInterface<RepeatingCase> {};

TEST_P(RepeatingStationTest, AReconnectionHearsNothingTwiceAndLosesNothingBeyondTheOutage) {
    constexpr std::size_t bytesPerSecond = 16000;  // 128 kbit/s
    const std::string audio = [] {
        test::TemporaryDirectory scratch;
        test::generateSignal(scratch / "repeating.mp3", GetParam().expressions, 14.0, 44100, bareMp3());
        return test::readBytes(scratch / "repeating.mp3");
    }();
    const auto burst = std::size_t(GetParam().burstSeconds * bytesPerSecond);
    tuneIn({audio, double(bytesPerSecond), burst, burst});
    ASSERT_TRUE(station->waitUntilSent(1));
    ASSERT_TRUE(advance(4.0, 1));

    // Down for one second (the stream's first retry): a burst longer than that re-sends what
    // went on the air meanwhile, and some that was heard already.
    station->drop();
    ASSERT_TRUE(waitFor([](const auto& s) { return s.network == Network::reconnecting(1); }));
    clock->advance(1.0);
    ASSERT_TRUE(takenIn(2));
    ASSERT_TRUE(advance(1.0, 2));
    // Streaming again within a second of the new connection.
    EXPECT_EQ(int(stream->currentStatus().network.state), int(Network::State::streaming));
    ASSERT_TRUE(advance(3.0, 2));
    station->drop();
    ASSERT_TRUE(waitFor([](const auto& s) { return s.network.state == Network::State::reconnecting; }));
    const auto sent = station->sent();
    ASSERT_EQ(sent.size(), 2u);

    // The outage is what nobody sent; everything sent is heard once, in order. Nothing was
    // pulled, so the backlog played on: silence stands for the outage at the join.
    test::StereoSamples heard = pull(30.0);
    int64_t filled = 0;
    loop->dispatchSync([&] { filled = RadioStreamTesting::gapFilledFrames(*stream); });
    const auto onAir = double(framesBefore(audio, sent[1].second));
    const double join = double(framesBefore(audio, sent[0].second));
    const double outage = std::max(0.0, double(framesBefore(audio, sent[1].first)) - join);
    // The timing that places the gap sees the station in its steps of 0.05 s.
    EXPECT_NEAR(double(filled), outage, 0.05 * 44100 + 1152);
    ASSERT_LE(std::size_t(join) + std::size_t(filled), heard.frames());
    for (auto* channel : {&heard.left, &heard.right}) {
        const auto gap = channel->begin() + std::ptrdiff_t(join);
        EXPECT_TRUE(std::all_of(gap, gap + filled, [](float x) { return x == 0.0f; }));
        channel->erase(gap, gap + filled);
    }
    EXPECT_LE(double(heard.frames()), onAir - outage + 1152) << "heard twice";
    // A decoder that starts inside the stream may lose its first frame.
    EXPECT_GE(double(heard.frames()), onAir - outage - 2 * 1152) << "lost beyond the outage";
    const test::StereoSamples reference = test::decodedStation(audio.substr(0, sent[1].second));
    ASSERT_LE(heard.frames(), reference.frames());
    ASSERT_GT(heard.frames(), std::size_t(join) + BurstMatch::guard);
    const std::size_t after = reference.frames() - heard.frames();  // frames of the reference not heard
    float worst = 0;
    std::size_t worstAt = 0;
    for (std::size_t i = 0; i < heard.frames(); ++i) {
        // Where a decoder starts inside the stream, its first frames are its own.
        if (after > 0 && i >= std::size_t(join) - 1152 && i < std::size_t(join) + BurstMatch::guard) continue;
        const std::size_t at = i < std::size_t(join) ? i : i + after;
        const float difference =
            std::max(std::fabs(heard.left[i] - reference.left[at]), std::fabs(heard.right[i] - reference.right[at]));
        if (difference > worst) {
            worst = difference;
            worstAt = i;
        }
    }
    EXPECT_LT(worst, 1e-4f) << "at frame " << worstAt << " of " << heard.frames() << ", the join at " << join;
}

INSTANTIATE_TEST_SUITE_P(
    Signals, RepeatingStationTest,
    testing::Values(RepeatingCase{"SteadyTone", {"0.5*sin(2*PI*440*t)", "0.5*sin(2*PI*1000*t)"}, 2.0},
                    // A half-second sweep, looped to the sample.
                    RepeatingCase{"LoopedSample",
                                  {"0.5*sin(2*PI*(200*mod(n\\,22050)/44100+6000*pow(mod(n\\,22050)/44100\\,2)))",
                                   "0.4*sin(2*PI*(900*mod(n\\,22050)/44100+2000*pow(mod(n\\,22050)/44100\\,2)))"},
                                  2.0},
                    // A server that re-sends nothing: the tone after the outage is all new.
                    RepeatingCase{"SteadyToneWithoutBurst", {"0.5*sin(2*PI*440*t)", "0.5*sin(2*PI*1000*t)"}, 0.0}),
    [](const auto& info) { return info.param.name; });

TEST_F(LiveStationTest, NoiseJoinsExactlyAcrossTenDrops) {
    constexpr std::size_t bytesPerSecond = 16000;
    const std::string noise = [] {
        test::TemporaryDirectory scratch;
        test::generateNoise(scratch / "noise.mp3", 36.0, 44100, 2, bareMp3());
        return test::readBytes(scratch / "noise.mp3");
    }();
    tuneIn({noise, double(bytesPerSecond), 2 * bytesPerSecond, 2 * bytesPerSecond});
    ASSERT_TRUE(station->waitUntilSent(1));
    // Heard as it comes, so the ring never fills; a few seconds stay buffered.
    test::StereoSamples heard;
    const auto listen = [&] {
        while (stream->currentStatus().bufferedSeconds > 3.0) {
            const test::StereoSamples piece = pull(0.5);
            heard.left.insert(heard.left.end(), piece.left.begin(), piece.left.end());
            heard.right.insert(heard.right.end(), piece.right.begin(), piece.right.end());
        }
    };
    for (std::size_t connection = 1; connection <= 10; ++connection) {
        ASSERT_TRUE(advance(2.0, connection)) << connection;
        listen();
        station->drop();
        ASSERT_TRUE(waitFor([](const auto& s) { return s.network == Network::reconnecting(1); })) << connection;
        clock->advance(1.0);
        ASSERT_TRUE(takenIn(connection + 1)) << connection;
    }
    ASSERT_TRUE(advance(2.0, 11));
    station->drop();
    ASSERT_TRUE(waitFor([](const auto& s) { return s.network.state == Network::State::reconnecting; }));
    const test::StereoSamples rest = pull(30.0);
    heard.left.insert(heard.left.end(), rest.left.begin(), rest.left.end());
    heard.right.insert(heard.right.end(), rest.right.begin(), rest.right.end());

    // Every frame on the air once, in order.
    const std::size_t end = station->sent().back().second;
    const test::StereoSamples reference = test::decodedStation(noise.substr(0, end));
    EXPECT_NEAR(double(heard.frames()), double(framesBefore(noise, end)), 1152);
    ASSERT_LE(heard.frames(), reference.frames());
    const auto [worst, worstAt] = test::worstDifference(heard, reference);
    EXPECT_LT(worst, 1e-4f) << "at frame " << worstAt << " of " << heard.frames();
}

// --- Reconnections that keep the listener's place ------------------------------------------

struct RejoinCase {
    std::string name;
    std::vector<std::string> expressions;  // one per channel, as generateSignal takes them
    int sampleRate;
    bool aac;
    double within;  // how far the distance behind live may move, at a join and over all of them
    bool exact;     // every frame heard is the station's own, to the sample
    friend void PrintTo(const RejoinCase& c, std::ostream* os) { *os << c.name; }
};

// A station that re-sends 64 KiB (about 4 s) to each new listener, sending a codec frame at a
// time over a network up to 30 ms late; the stream is heard in step with the clock, as a sound
// card would, and drops twelve times for 1.2 to 3.4 s (its own second of waiting included).
class RejoiningStationTest : public LiveStationTest, public testing::WithParamInterface<RejoinCase> {
protected:
    // Moments come as the loop hears from the network; a coarser clock would bunch them.
    static constexpr int ticksPerSecond = 64;  // the clock adds up its ticks without rounding
    test::StereoSamples heard;
    int64_t ticks = 0;
    std::size_t connections = 1;

    bool play(double seconds) {
        std::vector<float> l(4096), r(4096);
        for (int i = 0; i < int(seconds * ticksPerSecond); ++i) {
            clock->advance(1.0 / ticksPerSecond);
            if (!takenIn(connections)) return false;
            const int frames = int((ticks + 1) * 44100 / ticksPerSecond - ticks * 44100 / ticksPerSecond);
            ++ticks;
            const int n = stream->render(frames, l.data(), r.data());
            heard.left.insert(heard.left.end(), l.begin(), l.begin() + n);
            heard.right.insert(heard.right.end(), r.begin(), r.begin() + n);
        }
        return true;
    }
};

TEST_P(RejoiningStationTest, EachJoinKeepsTheDistanceBehindLive) {
    const RejoinCase& c = GetParam();
    const std::string audio = [&] {
        test::TemporaryDirectory scratch;
        const auto file = scratch / (c.aac ? "station.aac" : "station.mp3");
        const auto codec = c.aac ? RadioCodec::aacAdts(128) : bareMp3();
        if (c.expressions.empty()) test::generateNoise(file, 80.0, c.sampleRate, 2, codec);
        else test::generateSignal(file, c.expressions, 80.0, c.sampleRate, codec);
        return test::readBytes(file);
    }();
    tuneIn({.audio = audio,
            .burst = 65536,
            .onAirAtStart = 65536,
            .frameEnds = test::codecFrameEnds(audio),
            .frameSeconds = (c.aac ? 1024.0 : 1152.0) / c.sampleRate,
            .jitter = 0.03,
            .mimeType = c.aac ? "audio/aac" : "audio/mpeg"});

    const auto distance = [&] {
        return station->distanceBehindLive(std::llround(stream->currentStatus().bufferedSeconds * 44100));
    };

    ASSERT_TRUE(station->waitUntilSent(1));
    ASSERT_TRUE(play(3.0));
    std::vector<double> distances = {distance()};
    for (int join = 0; join < 12; ++join) {
        const double outage = std::vector<double>{1.1875, 2.0, 2.6875, 3.375}[join % 4];
        station->drop(outage - 1.0);
        ASSERT_TRUE(play(outage - 1.0));
        ASSERT_TRUE(waitFor([](const auto& s) { return s.network == Network::reconnecting(1); })) << join;
        ASSERT_TRUE(play(1.0 - 1.0 / ticksPerSecond));
        ++connections;
        ASSERT_TRUE(play(1.0 / ticksPerSecond));
        ASSERT_TRUE(play(1.0));
        EXPECT_EQ(stream->currentStatus().network, Network::streaming()) << "a second after join " << join;
        ASSERT_TRUE(play(1.0));
        distances.push_back(distance());
    }
    for (std::size_t join = 1; join < distances.size(); ++join) {
        EXPECT_NEAR(distances[join], distances[join - 1], c.within) << "join " << join - 1;
        EXPECT_NEAR(distances[join], distances[0], c.within) << "join " << join - 1;
    }
    EXPECT_EQ(stream->currentStatus().dropouts, 0);
    if (c.exact) {
        const auto [worst, worstAt] = test::worstDifference(heard, test::decodedStation(audio));
        EXPECT_LT(worst, 1e-4f) << "at frame " << worstAt << " of " << heard.frames();
    }
}

// Loops and phrases that repeat to the sample, at 48 kHz: the stream resamples each connection
// from another phase, so no match is exact and the look-alikes match as well as the true one.
const std::vector<std::string> loopedSweep = {
    "0.5*sin(2*PI*(150*mod(n\\,96000)/48000+900*pow(mod(n\\,96000)/48000\\,2)))",
    "0.4*sin(2*PI*(600*mod(n\\,96000)/48000+400*pow(mod(n\\,96000)/48000\\,2)))"};
// Eight-second phrases of 32 notes.
const std::vector<std::string> repeatedPhrases = {
    "0.4*exp(-6*mod(n\\,12000)/48000)*sin(2*PI*220*pow(2\\,mod(7*floor(mod(n\\,384000)/12000)\\,24)/12)*"
    "mod(n\\,12000)/48000)",
    "0.3*exp(-3*mod(n\\,12000)/48000)*sin(2*PI*110*pow(2\\,mod(5*floor(mod(n\\,384000)/12000)\\,17)/12)*"
    "mod(n\\,12000)/48000)"};
// Alike every 25 ms.
const std::vector<std::string> steadyTone = {"0.5*sin(2*PI*440*t)", "0.5*sin(2*PI*1000*t)"};
// Alike every millisecond, less than the timing's own error: the timing alone places the
// burst, and its errors may not add up.
const std::vector<std::string> pureTone = {"0.5*sin(2*PI*1000*t)", "0.5*sin(2*PI*1000*t)"};
const std::vector<std::string> silenceThenMusic = {
    "gte(t\\,14)*0.4*exp(-5*mod(t\\,0.25))*sin(2*PI*220*pow(2\\,floor(12+12*sin(1.9*floor(4*t)))/12)*t)",
    "gte(t\\,14)*0.3*exp(-2*mod(t\\,0.5))*sin(2*PI*110*pow(2\\,floor(7+7*sin(1.3*floor(2*t)))/12)*t)"};

INSTANTIATE_TEST_SUITE_P(Stations, RejoiningStationTest,
                         testing::Values(RejoinCase{"LoopedSweepMp3", loopedSweep, 48000, false, 0.02, false},
                                         RejoinCase{"LoopedSweepAac", loopedSweep, 48000, true, 0.02, false},
                                         RejoinCase{"RepeatedPhrasesAac", repeatedPhrases, 48000, true, 0.02, false},
                                         RejoinCase{"SteadyTone", steadyTone, 48000, false, 0.025, false},
                                         RejoinCase{"PureTone", pureTone, 48000, false, 0.02, false},
                                         RejoinCase{"SilenceThenMusic", silenceThenMusic, 44100, false, 0.02, false},
                                         RejoinCase{"NoiseMp3", {}, 44100, false, 0.02, true},
                                         RejoinCase{"NoiseAac", {}, 48000, true, 0.02, false}),
                         [](const auto& info) { return info.param.name; });

// --- End to end through the audio core ------------------------------------------------------

// Stands in for the sound card: renders the core in 512-frame buffers at the pace of
// 44100 frames per second and keeps what comes out.
class OutputDevice {
public:
    OutputDevice(AudioCore& core, double maximumSeconds)
        : core_(core), left_(std::size_t(maximumSeconds * 44100)), right_(left_.size()) {
        thread_ = std::thread([this] { run(); });
    }
    ~OutputDevice() { stop(); }

    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    std::size_t rendered() const { return rendered_.load(std::memory_order_acquire); }
    // Output from `from` to `to` frames; only frames already rendered.
    std::span<const float> left(std::size_t from, std::size_t to) const { return {left_.data() + from, to - from}; }
    std::span<const float> right(std::size_t from, std::size_t to) const { return {right_.data() + from, to - from}; }

private:
    void run() {
        constexpr std::size_t buffer = 512;
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t done = 0; running_ && done + buffer <= left_.size(); done += buffer) {
            std::this_thread::sleep_until(start + std::chrono::duration<double>(double(done) / 44100.0));
            core_.render(int(buffer), left_.data() + done, right_.data() + done);
            rendered_.store(done + buffer, std::memory_order_release);
        }
    }

    AudioCore& core_;
    std::vector<float> left_, right_;
    std::atomic<bool> running_{true};
    std::atomic<std::size_t> rendered_{0};
    std::thread thread_;
};

TEST_F(RadioStreamPlaybackTest, AStationPlaysThroughTheCoreAndSurvivesADroppedConnection) {
    constexpr std::size_t bytesPerTenth = 1600;  // 128 kbit/s
    const std::string audio = test::encodedTone("mp3", bareMp3(), 4.0, 44100, 2);
    // Sent in real time; the first connection breaks off after two seconds of audio.
    LoopbackHttpServer::Script live = station(audio, "audio/mpeg", 0);
    live.pieceBytes = bytesPerTenth;
    live.pieceInterval = 0.1;
    LoopbackHttpServer::Script dropped = live;
    dropped.closeAfter = 20 * bytesPerTenth;
    dropped.stall = false;
    dropped.reset = true;
    server.routeSequence("/live", {dropped, live});

    AudioCore core;
    core.setDeckInput(DeckInput::tuner);
    OutputDevice device(core, 12.0);
    open("/live", 0.5);
    core.setTunerMuting(true);  // no hiss between stations: silence is silence
    core.setTunerVolume(1.0f);
    core.setTunerSignal(stream.get());
    core.setTunerPoweredOn(true);
    // Whatever happens below, the core lets go of the stream before it goes away.
    struct Detach {
        AudioCore& core;
        OutputDevice& device;
        ~Detach() {
            core.setTunerSignal(nullptr);
            device.stop();
        }
    } detach{core, device};

    // Heard once the prebuffer is held, the tone on each side. On a busy machine this process,
    // station and all, may be paused; the sound card then catches up at once and runs the
    // buffer dry, a dropout the stream rightly reports. So the tuner's lock is waited for, and
    // below only running dry after the connection broke off counts, with playing again on the
    // second connection.
    ASSERT_TRUE(waitFor([](const auto& s) { return s.playing; }));
    const std::size_t firstPlay = device.rendered();
    ASSERT_TRUE(loop->waitUntil([&] { return device.rendered() > firstPlay + 22050; }, patience));
    EXPECT_TRUE(loop->waitUntil([&] { return core.snapshot(AudioCore::Peaks::keep).tunerLocked; }, patience));

    // The connection drops; the buffer runs dry; the stream reconnects and plays again.
    ASSERT_TRUE(waitFor([](const auto& s) { return s.network.state == Network::State::reconnecting; }));
    const auto atDrop = stream->currentStatus();
    ASSERT_TRUE(waitFor([&](const auto& s) {
        return (s.dropouts > atDrop.dropouts || !atDrop.playing) && s.playing && server.requestCount("/live") == 2;
    }));
    const std::size_t replay = device.rendered();
    ASSERT_TRUE(loop->waitUntil([&] { return device.rendered() > replay + 66150; }, patience));
    const auto status = stream->currentStatus();
    device.stop();

    EXPECT_EQ(status.network, Network::streaming());
    EXPECT_EQ(status.format, "MP3");
    EXPECT_EQ(server.requestCount("/live"), 2u);

    // Nothing before the prebuffer: a half second of audio arrives in about 0.4 s.
    std::size_t onset = 0;
    while (onset < firstPlay && std::fabs(device.left(onset, onset + 1)[0]) < 1e-3f) ++onset;
    EXPECT_GE(onset, std::size_t(0.35 * 44100));
    EXPECT_LE(onset, firstPlay);

    // The tone, past the tuner's 100 ms lock fade, in both stretches of play. Both are found
    // in what was heard: after a pause the sound card may have rendered on through the
    // prebuffer by the time the test sees the stream play, and the second plays on from
    // silence that stands for what was never sent, keeping the distance behind live.
    std::size_t resumed = replay;
    while (resumed < replay + 44100 && std::fabs(device.left(resumed, resumed + 1)[0]) < 1e-3f) ++resumed;
    for (const std::size_t from : {onset + 4410, resumed + 4410}) {
        const std::size_t to = from + 13230;
        EXPECT_NEAR(test::toneAmplitude(device.left(from, to), 440.0), 0.5, 0.05) << from;
        EXPECT_NEAR(test::toneAmplitude(device.right(from, to), 1000.0), 0.5, 0.05) << from;
    }
    // Between them, the silence of the dropout.
    std::size_t longestQuiet = 0, quiet = 0;
    for (std::size_t i = onset; i < replay; ++i) {
        quiet = std::fabs(device.left(i, i + 1)[0]) < 1e-4f ? quiet + 1 : 0;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    EXPECT_GE(longestQuiet, std::size_t(0.2 * 44100));
}

}  // namespace
}  // namespace norvo
