#include "Radio/RadioStream.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "ByteFrameDecoder.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RadioStreamTesting.hpp"
#include "Support/RefusingPort.hpp"

namespace norvo {
namespace {

using test::ByteFrameDecoder;
using test::LoopbackHttpServer;
using Network = RadioStream::Status::Network;
using Script = LoopbackHttpServer::Script;

constexpr double kWait = 10.0;        // real seconds a test may wait for the loopback server
constexpr double kPrebuffer = 0.1;    // 4410 frames: 4410 bytes with ByteFrameDecoder
constexpr std::size_t kPlays = 5000;  // bytes that make a connection play
const std::string kUserAgent = "NorvoStudio/1.2 (+https://norvo.example/studio)";

Script audio(std::string body, std::vector<std::pair<std::string, std::string>> headers = {}) {
    Script script;
    script.statusLine = "HTTP/1.0 200 OK";
    script.headers = {{"Content-Type", "audio/mpeg"}};
    for (auto& header : headers) script.headers.push_back(std::move(header));
    script.body = std::move(body);
    return script;
}

// An audio answer that sends `bytes` and then keeps the connection open.
Script holding(std::size_t bytes, std::vector<std::pair<std::string, std::string>> headers = {}) {
    Script script = audio(std::string(bytes, 'a'), std::move(headers));
    script.stall = true;
    return script;
}

Script playlist(const std::string& type, std::string text) {
    Script script;
    script.headers = {{"Content-Type", type}};
    script.body = std::move(text);
    script.contentLength = true;
    return script;
}

class RadioStreamTest : public ::testing::Test {
protected:
    LoopbackHttpServer server;
    std::shared_ptr<test::ManualLoopClock> clock = std::make_shared<test::ManualLoopClock>();
    std::shared_ptr<HttpLoop> loop = std::make_shared<HttpLoop>(RadioStream::queueLabel, clock);
    std::shared_ptr<ByteFrameDecoder::Log> decoderLog = std::make_shared<ByteFrameDecoder::Log>();
    std::vector<float> left = std::vector<float>(8192), right = std::vector<float>(8192);

    std::unique_ptr<RadioStream> open(const std::string& url, RadioStream::DecoderFactory factory = nullptr) {
        RadioStream::Options options;
        options.loop = loop;
        options.decoderFactory = factory ? std::move(factory) : ByteFrameDecoder::factory(decoderLog);
        auto stream = std::make_unique<RadioStream>(url, kUserAgent, kPrebuffer, std::move(options));
        stream->start();
        return stream;
    }

    bool waitFor(RadioStream& stream, const std::function<bool(const RadioStream::Status&)>& predicate) {
        return loop->waitUntil([&] { return predicate(stream.currentStatus()); }, kWait);
    }
    bool waitForNetwork(RadioStream& stream, const Network& network) {
        const bool reached = waitFor(stream, [&](const auto& status) { return status.network == network; });
        if (!reached)
            ADD_FAILURE() << "network state now: " << static_cast<int>(stream.currentStatus().network.state) << " "
                          << stream.currentStatus().network.message;
        return reached;
    }
    bool waitForRequests(const std::string& path, std::size_t count) {
        return loop->waitUntil([&] { return server.requestCount(path) >= count; }, kWait);
    }
    bool waitForBuffered(RadioStream& stream, std::size_t frames) {
        return waitFor(stream, [&](const auto& status) {
            return static_cast<std::size_t>(status.bufferedSeconds * 44100.0 + 0.5) >= frames;
        });
    }
    // A final failure: the text stays and the station is never asked again.
    void expectFailedForGood(RadioStream& stream, const std::string& text, const std::string& path) {
        ASSERT_TRUE(waitForNetwork(stream, Network::failed(text)));
        advance(60);
        EXPECT_EQ(stream.currentStatus().network, Network::failed(text));
        EXPECT_EQ(server.requestCount(path), 1u) << path;
    }
    // Moves the loop's clock and lets every timer that fell due run.
    void advance(double seconds) {
        clock->advance(seconds);
        loop->dispatchSync([] {});
    }
    void consume(RadioStream& stream, std::size_t frames) {
        while (frames > 0) {
            const int chunk = static_cast<int>(std::min<std::size_t>(frames, 4096));
            ASSERT_EQ(stream.render(chunk, left.data(), right.data()), chunk);
            frames -= static_cast<std::size_t>(chunk);
        }
    }
};

TEST_F(RadioStreamTest, SendsTheStationRequestHeaders) {
    server.route("/live", holding(100));
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::streaming()));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("Icy-MetaData"), "1");
    EXPECT_EQ(requests[0].header("User-Agent"), kUserAgent);
    EXPECT_EQ(requests[0].header("Accept"), "*/*");
    EXPECT_FALSE(requests[0].header("Cookie"));
}

TEST_F(RadioStreamTest, PlaysAStationAfterThePrebufferAndReportsItsHeaders) {
    server.route("/live", holding(kPlays, {{"icy-name", " \tLoop FM \t"}, {"icy-br", "128,128"}}));
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForBuffered(*stream, kPlays));
    const auto status = stream->currentStatus();
    EXPECT_EQ(status.network, Network::streaming());
    EXPECT_TRUE(status.playing);
    EXPECT_EQ(status.stationName, "Loop FM");
    EXPECT_EQ(status.bitrate, 128);
    EXPECT_EQ(status.format, "MP3");
    EXPECT_EQ(status.channels, 2);
    EXPECT_EQ(status.sampleRate, 48000);
    EXPECT_TRUE(status.titleKnown);  // no icy-metaint: no titles will come
    ASSERT_EQ(stream->render(2, left.data(), right.data()), 2);
    EXPECT_FLOAT_EQ(left[0], static_cast<float>('a') / 255.0f);
    EXPECT_FLOAT_EQ(right[1], -static_cast<float>('a') / 255.0f);
}

TEST_F(RadioStreamTest, AcceptsIcyStatusLineAndStatus299) {
    Script icy = holding(100);
    icy.statusLine = "ICY 200 OK";
    Script odd = holding(100);
    odd.statusLine = "HTTP/1.1 299 Whatever";
    server.route("/icy", icy);
    server.route("/odd", odd);
    auto first = open(server.url("/icy"));
    auto second = open(server.url("/odd"));
    EXPECT_TRUE(waitForNetwork(*first, Network::streaming()));
    EXPECT_TRUE(waitForNetwork(*second, Network::streaming()));
}

struct BitrateCase {
    std::string header;
    std::optional<int> bitrate;
};

class RadioStreamBitrate : public RadioStreamTest, public ::testing::WithParamInterface<BitrateCase> {};

TEST_P(RadioStreamBitrate, ReadsTheFirstWholeNumber) {
    server.route("/live", holding(10, {{"icy-br", GetParam().header}}));
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::streaming()));
    EXPECT_EQ(stream->currentStatus().bitrate, GetParam().bitrate);
}

INSTANTIATE_TEST_SUITE_P(Headers, RadioStreamBitrate,
                         ::testing::Values(BitrateCase{"128,128", 128}, BitrateCase{"128", 128},
                                           BitrateCase{",,96", 96}, BitrateCase{"+64", 64},
                                           // HTTP strips blanks around the value, not inside it.
                                           BitrateCase{", 128", std::nullopt}, BitrateCase{"128 ,96", std::nullopt},
                                           BitrateCase{"0", std::nullopt}, BitrateCase{"-128", std::nullopt},
                                           BitrateCase{"128kbps", std::nullopt}, BitrateCase{"", std::nullopt}));

class RadioStreamHttpError : public RadioStreamTest, public ::testing::WithParamInterface<int> {};

TEST_P(RadioStreamHttpError, FailsWithoutRetry) {
    server.route("/station", LoopbackHttpServer::status(GetParam(), "Refused"));
    auto stream = open(server.url("/station"));
    expectFailedForGood(*stream, "The station answered HTTP " + std::to_string(GetParam()), "/station");
}

INSTANTIATE_TEST_SUITE_P(Statuses, RadioStreamHttpError, ::testing::Values(404, 503, 300, 500));

TEST_F(RadioStreamTest, RefusesHlsByTypeAndByExtension) {
    server.route("/hls", playlist("application/vnd.apple.mpegurl", "#EXTM3U\n"));
    server.route("/live.m3u8", holding(10));
    server.route("/redirected", LoopbackHttpServer::redirect("/live.m3u8"));
    for (const char* path : {"/hls", "/live.m3u8", "/redirected"}) {
        auto stream = open(server.url(path));
        EXPECT_TRUE(waitForNetwork(*stream, Network::failed("HLS streams are not supported"))) << path;
    }
}

TEST_F(RadioStreamTest, FollowsPlaylistsToTheStream) {
    server.route("/radio/listen.pls", playlist("audio/x-scpls", "[playlist]\nNumberOfEntries=1\nFile1=" +
                                                                    server.url("/radio/tunein.m3u") + "\n"));
    server.route("/radio/tunein.m3u", playlist("audio/mpeg", "#EXTM3U\n#EXTINF:-1,Loop\nlive.mp3\n"));
    server.route("/radio/live.mp3", holding(kPlays));
    auto stream = open(server.url("/radio/listen.pls"));
    ASSERT_TRUE(waitForBuffered(*stream, kPlays));
    EXPECT_EQ(server.requestCount("/radio/live.mp3"), 1u);
    for (const auto& request : server.requests()) EXPECT_EQ(request.header("Icy-MetaData"), "1");
    ASSERT_FALSE(decoderLog->hints.empty());
    EXPECT_EQ(decoderLog->hints.back(), RadioStreamDecoder::Hint::mpegLayer3);
}

TEST_F(RadioStreamTest, FollowsThreePlaylistsAndRefusesTheFourth) {
    for (int i = 1; i <= 4; ++i) {
        server.route("/p" + std::to_string(i) + ".m3u",
                     playlist("audio/x-mpegurl", "/p" + std::to_string(i + 1) + ".m3u\n"));
    }
    server.route("/p4.m3u", playlist("audio/x-mpegurl", "/stream\n"));
    server.route("/stream", holding(10));
    server.route("/three.m3u", playlist("audio/x-mpegurl", "/p3.m3u\n"));  // three, then the stream
    auto three = open(server.url("/three.m3u"));
    ASSERT_TRUE(waitForNetwork(*three, Network::streaming()));
    auto four = open(server.url("/p1.m3u"));
    ASSERT_TRUE(waitForNetwork(*four, Network::failed("The playlist holds no stream")));
    EXPECT_EQ(server.requestCount("/p4.m3u"), 2u);  // met by both streams
}

TEST_F(RadioStreamTest, PlaylistWithoutStreamFails) {
    server.route("/empty.pls", playlist("audio/x-scpls", "[playlist]\nNumberOfEntries=0\n"));
    auto stream = open(server.url("/empty.pls"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::failed("The playlist holds no stream")));
}

TEST_F(RadioStreamTest, PlaylistOf262144BytesIsReadAndOneByteMoreIsNot) {
    const std::string entry = "\n" + server.url("/stream") + "\n";
    auto padded = [&](std::size_t total) { return "#" + std::string(total - 1 - entry.size(), 'x') + entry; };
    ASSERT_EQ(padded(262144).size(), 262144u);
    server.route("/fits.m3u", playlist("audio/x-mpegurl", padded(262144)));
    server.route("/over.m3u", playlist("audio/x-mpegurl", padded(262145)));
    server.route("/stream", holding(10));
    auto fits = open(server.url("/fits.m3u"));
    auto over = open(server.url("/over.m3u"));
    EXPECT_TRUE(waitForNetwork(*fits, Network::streaming()));
    EXPECT_TRUE(waitForNetwork(*over, Network::failed("Not a radio stream")));
}

TEST_P(RadioStreamHttpError, OnAReconnectionOfAStationThatPlayedIsOneMoreAttempt) {
    // The encoder restarts: the mount is missing for two attempts, then back.
    const Script missing = LoopbackHttpServer::status(GetParam(), "Refused");
    server.routeSequence("/live", {audio(std::string(kPlays, 'a')), missing, missing, holding(60000)});
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    advance(1);
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(2)));
    advance(2);
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(3)));
    advance(4);
    // Its audio is held while the burst is dated, no longer than a second.
    ASSERT_TRUE(loop->waitUntil([&] { return decoderLog->fed == kPlays + 60000; }, kWait));
    advance(1);
    EXPECT_TRUE(waitForNetwork(*stream, Network::streaming()));
    EXPECT_EQ(server.requestCount("/live"), 4u);
}

TEST_F(RadioStreamTest, AStationThatKeepsAnsweringAnErrorAfterPlayingFailsWithThatAnswer) {
    server.routeSequence("/live", {audio(std::string(kPlays, 'a')), LoopbackHttpServer::status(404, "Not Found")});
    auto stream = open(server.url("/live"));
    const double delays[] = {1, 2, 4, 8, 8};
    for (int attempt = 1; attempt <= 5; ++attempt) {
        ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(attempt))) << attempt;
        advance(delays[attempt - 1]);
        ASSERT_TRUE(waitForRequests("/live", static_cast<std::size_t>(attempt + 1))) << attempt;
    }
    ASSERT_TRUE(waitForNetwork(*stream, Network::failed("The station answered HTTP 404")));
    advance(60);
    EXPECT_EQ(server.requestCount("/live"), 6u);
}

TEST_F(RadioStreamTest, StationThatNeverPlayedGetsOneRetryAfterOneAndAHalfSeconds) {
    server.route("/live", audio("short"));
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    advance(1.48);
    EXPECT_EQ(server.requestCount("/live"), 1u);
    advance(0.04);
    ASSERT_TRUE(waitForRequests("/live", 2));
    ASSERT_TRUE(waitForNetwork(*stream, Network::failed("The station ended the broadcast")));
    advance(60);
    EXPECT_EQ(server.requestCount("/live"), 2u);
}

TEST_F(RadioStreamTest, StationThatPlayedRetriesFiveTimesWithGrowingDelays) {
    // Plays once, then every connection ends before it plays again.
    server.routeSequence("/live", {audio(std::string(kPlays, 'a')), audio("x")});
    auto stream = open(server.url("/live"));
    const double delays[] = {1, 2, 4, 8, 8};
    for (int attempt = 1; attempt <= 5; ++attempt) {
        ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(attempt))) << attempt;
        advance(delays[attempt - 1] - 0.02);
        EXPECT_EQ(server.requestCount("/live"), static_cast<std::size_t>(attempt)) << attempt;
        advance(0.04);
        ASSERT_TRUE(waitForRequests("/live", static_cast<std::size_t>(attempt + 1))) << attempt;
    }
    ASSERT_TRUE(waitForNetwork(*stream, Network::failed("The station ended the broadcast")));
    advance(60);
    EXPECT_EQ(server.requestCount("/live"), 6u);
}

TEST_F(RadioStreamTest, ConnectionThatPlaysAgainRestartsTheCount) {
    server.routeSequence("/live",
                         {audio(std::string(kPlays, 'a')), audio("x"), audio(std::string(kPlays, 'b')), audio("y")});
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    advance(1);
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(2)));
    advance(2);  // the third connection plays, then ends
    ASSERT_TRUE(waitForRequests("/live", 3));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    advance(0.98);
    EXPECT_EQ(server.requestCount("/live"), 3u);
    advance(0.04);
    ASSERT_TRUE(waitForRequests("/live", 4));
}

TEST_F(RadioStreamTest, PlaylistStationSurvivesManyDropsOnceItPlays) {
    // Every reconnection goes back through the station's playlist; connections that
    // played reset the playlist guard, so the evening goes on.
    server.route("/station.pls", playlist("audio/x-scpls", "[playlist]\nFile1=/stream\n"));
    // Connection n sends kPlays + 100 n bytes, so the buffer tells which one has ended.
    auto served = std::make_shared<std::atomic<std::size_t>>(0);
    server.route("/stream", [served](const LoopbackHttpServer::Request&) {
        return audio(std::string(kPlays + 100 * ++*served, 'a'));
    });
    auto stream = open(server.url("/station.pls"));
    std::size_t expected = 0;
    for (std::size_t drop = 1; drop <= 5; ++drop) {
        // Nothing is pulled; each reconnection sends less than went on the air while it was
        // down, so all of it is new and adds to what was buffered, after silence for the rest.
        expected += kPlays + 100 * drop;
        ASSERT_TRUE(waitFor(*stream, [&](const auto& status) {
            int64_t filled = 0;
            loop->dispatchSync([&] { filled = RadioStreamTesting::gapFilledFrames(*stream); });
            return status.network == Network::reconnecting(1) &&
                   static_cast<std::size_t>(status.bufferedSeconds * 44100.0 + 0.5) == expected + std::size_t(filled);
        })) << drop;
        advance(1.0);
    }
    ASSERT_TRUE(waitForRequests("/stream", 6));
    EXPECT_EQ(server.requestCount("/station.pls"), 6u);
}

TEST_F(RadioStreamTest, PlaylistGuardStillCountsReconnectionsThatDidNotPlay) {
    server.route("/station.pls", playlist("audio/x-scpls", "[playlist]\nFile1=/stream\n"));
    server.routeSequence("/stream", {audio(std::string(kPlays, 'a')), audio("x")});
    auto stream = open(server.url("/station.pls"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    advance(1);
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(2)));
    advance(2);
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(3)));
    advance(4);
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(4)));
    advance(8);  // the fourth playlist since the stream last played
    ASSERT_TRUE(waitForNetwork(*stream, Network::failed("The playlist holds no stream")));
    EXPECT_EQ(server.requestCount("/stream"), 4u);
}

struct FailureCase {
    std::string name;
    std::string text;
};

class RadioStreamFailure : public RadioStreamTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RadioStreamFailure, EndsWithItsTextAfterTheOneRetry) {
    Script reset = audio(std::string(100, 'r'));
    reset.closeAfter = 50;
    reset.reset = true;
    Script truncated = audio(std::string(3000, 't'));
    truncated.contentLength = true;
    truncated.closeAfter = 100;
    Script silent;
    silent.stallBeforeHeaders = true;
    server.route("/reset", reset);
    server.route("/truncated", truncated);
    server.route("/silent", silent);
    server.route("/ended", audio("bye"));
    server.route("/loop", LoopbackHttpServer::redirect("/loop"));

    test::RefusingPort refusing;
    const std::string& name = GetParam().name;
    std::string url = server.url("/" + name);
    if (name == "unresolvable") url = LoopbackHttpServer::unresolvableURL("/live");
    if (name == "refused") url = "http://" + refusing.hostAndPort() + "/live";
    if (name == "tls") url = "https://127.0.0.1:" + std::to_string(server.port()) + "/ended";
    auto stream = open(url);
    if (name == "silent") {
        ASSERT_TRUE(waitForRequests("/silent", 1));
        advance(15);
        ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
        advance(1.5);
        ASSERT_TRUE(waitForRequests("/silent", 2));
        advance(15);
    } else {
        ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
        advance(1.5);
    }
    EXPECT_TRUE(waitForNetwork(*stream, Network::failed(GetParam().text)));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RadioStreamFailure,
    ::testing::Values(FailureCase{"unresolvable", "Station not found"}, FailureCase{"refused", "Station off the air"},
                      FailureCase{"silent", "The station stopped responding"},
                      FailureCase{"tls", "Secure connection failed"}, FailureCase{"reset", "No internet connection"},
                      FailureCase{"truncated", "Connection lost"}, FailureCase{"loop", "Connection lost"},
                      FailureCase{"ended", "The station ended the broadcast"}),
    [](const auto& info) { return info.param.name; });

TEST_F(RadioStreamTest, SilenceInsideTheBodyTimesOutAfterSixtySeconds) {
    server.route("/stalls", holding(100));
    auto stream = open(server.url("/stalls"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::streaming()));
    advance(59.9);
    EXPECT_EQ(stream->currentStatus().network, Network::streaming());
    advance(0.2);
    EXPECT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
}

class RadioStreamDecoderFailure : public RadioStreamTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(RadioStreamDecoderFailure, IsFinal) {
    decoderLog->failure = GetParam();
    server.route("/page", audio("<html><body>Not a stream</body></html>"));
    auto stream = open(server.url("/page"));
    expectFailedForGood(*stream, GetParam(), "/page");
}

INSTANTIATE_TEST_SUITE_P(Texts, RadioStreamDecoderFailure,
                         ::testing::Values("Unsupported stream format", "Unreadable stream format",
                                           "Cannot decode this stream"));

TEST_F(RadioStreamTest, DecoderThatCannotBeOpenedIsFinal) {
    server.route("/live", holding(10));
    auto stream = open(server.url("/live"), [](RadioStreamDecoder::Hint, RadioStreamDecoder::Client&) {
        return std::unique_ptr<RadioStream::Decoder>();
    });
    expectFailedForGood(*stream, "Cannot open the stream decoder", "/live");
}

TEST_F(RadioStreamTest, HintComesFromTheResponseTypeThenItsPath) {
    Script aac = holding(10);
    aac.headers = {{"Content-Type", "audio/aacp"}};
    Script untyped = holding(10);
    untyped.headers = {};
    server.route("/typed", aac);
    server.route("/live.aac", untyped);
    server.route("/moved", LoopbackHttpServer::redirect("/live.aac"));
    for (const char* path : {"/typed", "/moved"}) {
        decoderLog->hints.clear();
        auto stream = open(server.url(path));
        ASSERT_TRUE(waitForNetwork(*stream, Network::streaming()));
        ASSERT_EQ(decoderLog->hints.size(), 1u);
        EXPECT_EQ(decoderLog->hints[0], RadioStreamDecoder::Hint::adts) << path;
    }
}

struct Delivery {
    std::string name;
    std::size_t pieceBytes;
    bool chunked;
};

class RadioStreamTitles : public RadioStreamTest, public ::testing::WithParamInterface<Delivery> {};

TEST_P(RadioStreamTitles, BecomeCurrentWhenTheirAudioIsHeard) {
    // 1000 audio bytes between blocks; one byte is one frame.
    std::vector<std::string> blocks = {"StreamTitle='First';", "StreamTitle='First';", "StreamTitle='Second';", "",
                                       "StreamTitle='Third';"};
    Script station =
        audio(LoopbackHttpServer::icyInterleave(std::string(5500, 'm'), 1000, blocks), {{"icy-metaint", "1000"}});
    station.pieceBytes = GetParam().pieceBytes;
    station.chunked = GetParam().chunked;
    if (station.chunked) station.statusLine = "HTTP/1.1 200 OK";
    station.stall = true;
    server.route("/live", station);
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForBuffered(*stream, 5500));
    auto status = stream->currentStatus();
    // The first title is stamped at the connection's start: current before any pull.
    EXPECT_EQ(status.title, "First");
    EXPECT_EQ(status.titleSerial, 1);
    EXPECT_TRUE(status.titleKnown);
    consume(*stream, 2999);
    EXPECT_EQ(stream->currentStatus().title, "First");
    consume(*stream, 1);
    EXPECT_EQ(stream->currentStatus().title, "Second");  // the audio after the third block
    consume(*stream, 1999);
    EXPECT_EQ(stream->currentStatus().title, "Second");
    consume(*stream, 1);
    status = stream->currentStatus();
    EXPECT_EQ(status.title, "Third");
    EXPECT_EQ(status.titleSerial, 3);
}

INSTANTIATE_TEST_SUITE_P(Bodies, RadioStreamTitles,
                         ::testing::Values(Delivery{"Pieces", 333, false}, Delivery{"OneByte", 1, false},
                                           Delivery{"Chunked", 7, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RadioStreamTest, StationWithIntervalButNoTitlesIsKnownOnlyLater) {
    Script station =
        audio(LoopbackHttpServer::icyInterleave(std::string(3000, 'm'), 1000, {}), {{"icy-metaint", "1000"}});
    station.stall = true;
    server.route("/live", station);
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForBuffered(*stream, 3000));
    EXPECT_FALSE(stream->currentStatus().titleKnown);
}

TEST_F(RadioStreamTest, StopDuringReconnectionDelayPreventsTheReconnection) {
    server.route("/live", audio(std::string(kPlays, 'a')));
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    ASSERT_TRUE(stream->currentStatus().playing);
    stream->stop();
    EXPECT_EQ(stream->render(512, left.data(), right.data()), 0);
    advance(10);
    EXPECT_EQ(server.requestCount("/live"), 1u);
    EXPECT_EQ(stream->currentStatus().network, Network::reconnecting(1));  // stop() keeps the state
    stream->start();                                                       // a stopped stream never starts again
    advance(10);
    EXPECT_EQ(server.requestCount("/live"), 1u);
}

TEST_F(RadioStreamTest, ReleasedStreamIsNotReconnected) {
    server.route("/live", audio("short"));
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForNetwork(*stream, Network::reconnecting(1)));
    stream.reset();
    advance(10);
    EXPECT_EQ(server.requestCount("/live"), 1u);
}

TEST_F(RadioStreamTest, StopClosesAPlayingConnection) {
    Script endless = audio("");
    endless.producer = [](std::size_t) { return std::string(1000, 'e'); };
    endless.pieceInterval = 0.002;
    server.route("/live", endless);
    auto stream = open(server.url("/live"));
    ASSERT_TRUE(waitForBuffered(*stream, kPlays));
    stream->stop();
    ASSERT_TRUE(loop->waitUntil([&] { return loop->activeTransfers() == 0; }, kWait));
    EXPECT_EQ(stream->render(16, left.data(), right.data()), 0);
}

TEST_F(RadioStreamTest, OwnLoopStreamsWithoutAnInjectedOne) {
    server.route("/live", holding(kPlays));
    RadioStream::Options options;
    options.decoderFactory = ByteFrameDecoder::factory();
    RadioStream stream(server.url("/live"), kUserAgent, kPrebuffer, options);
    stream.start();
    EXPECT_TRUE(loop->waitUntil([&] { return stream.currentStatus().playing; }, kWait));
}

}  // namespace
}  // namespace norvo
