// Reconnections to live stations of every shape a listener meets: sample rates, bitrates,
// codecs and bursts, servers that cut their queue at their own blocks, hold a connection back
// or let a dropped one go silent first. Each join keeps the listener's place: nothing heard
// twice, nothing lost but what the server never sent again, streaming again at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/HttpLoop.hpp"
#include "Radio/RadioStream.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/LiveStation.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RadioFixtures.hpp"
#include "Support/RadioStreamTesting.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using Network = RadioStream::Status::Network;
constexpr double patience = 20.0;

struct Shape {
    bool aac;
    int sampleRate;
    int kbps;
    std::size_t burst;       // bytes re-sent to a new listener
    std::size_t blockBytes;  // the source's blocks; 0: a codec frame at a time
    int channels = 2;
};

enum class Content { loopedSweep, repeatedPhrases, steadyTone, silenceThenMusic, noise };

struct JoinRow {
    std::string name;
    Shape shape;
    Content content;
    std::vector<double> outages;  // from the last byte to the next first byte, in turn
    std::vector<double> holds;    // how long the server holds each next connection, in turn
    double firstSeconds = 5;      // the first connection's audio before it drops
    int joins = 12;
    double clockRate = 1;  // the station's clock against ours
    double jitter = 0.03;  // how late pieces come, at most
    double earlyFrameEvery = 0;
    double linkRate = 0;   // the link's speed against the stream's; 0: as fast as the station sends
    double roundTrip = 0;  // a far server's, in seconds
    friend void PrintTo(const JoinRow& row, std::ostream* os) { *os << row.name; }
};

// Expressions of the station's own sample rate `r`, so that loops and phrases repeat to the
// sample at any rate.
std::vector<std::string> expressions(Content content, int r) {
    const std::string R = std::to_string(r);
    switch (content) {
    case Content::loopedSweep:  // two seconds, looped
        return {"0.5*sin(2*PI*(150*mod(n\\," + std::to_string(2 * r) + ")/" + R + "+900*pow(mod(n\\," +
                    std::to_string(2 * r) + ")/" + R + "\\,2)))",
                "0.4*sin(2*PI*(600*mod(n\\," + std::to_string(2 * r) + ")/" + R + "+400*pow(mod(n\\," +
                    std::to_string(2 * r) + ")/" + R + "\\,2)))"};
    case Content::repeatedPhrases: {  // eight-second phrases of 32 notes
        const std::string note = std::to_string(r / 4), phrase = std::to_string(8 * r);
        return {"0.4*exp(-6*mod(n\\," + note + ")/" + R + ")*sin(2*PI*220*pow(2\\,mod(7*floor(mod(n\\," + phrase +
                    ")/" + note + ")\\,24)/12)*mod(n\\," + note + ")/" + R + ")",
                "0.3*exp(-3*mod(n\\," + note + ")/" + R + ")*sin(2*PI*110*pow(2\\,mod(5*floor(mod(n\\," + phrase +
                    ")/" + note + ")\\,17)/12)*mod(n\\," + note + ")/" + R + ")"};
    }
    case Content::steadyTone: return {"0.5*sin(2*PI*440*t)", "0.5*sin(2*PI*1000*t)"};
    case Content::silenceThenMusic:
        return {"gte(t\\,14)*0.4*exp(-5*mod(t\\,0.25))*sin(2*PI*220*pow(2\\,floor(12+12*sin(1.9*floor(4*t)))/12)*t)",
                "gte(t\\,14)*0.3*exp(-2*mod(t\\,0.5))*sin(2*PI*110*pow(2\\,floor(7+7*sin(1.3*floor(2*t)))/12)*t)"};
    case Content::noise: return {};
    }
    return {};
}

// Encoded once for every row of the same shape and content.
const std::string& stationAudio(const Shape& shape, Content content) {
    static std::mutex mutex;
    static std::map<std::string, std::string> made;
    const std::string key = std::to_string(shape.aac) + "/" + std::to_string(shape.sampleRate) + "/" +
                            std::to_string(shape.kbps) + "/" + std::to_string(shape.channels) + "/" +
                            std::to_string(int(content));
    std::lock_guard lock(mutex);
    auto found = made.find(key);
    if (found != made.end()) return found->second;
    test::TemporaryDirectory scratch;
    const auto file = scratch / (shape.aac ? "station.aac" : "station.mp3");
    std::vector<std::string> codec =
        shape.aac ? test::RadioCodec::aacAdts(shape.kbps) : test::RadioCodec::mp3Cbr(shape.kbps);
    if (!shape.aac) codec.insert(codec.end() - 2, {"-write_xing", "0", "-id3v2_version", "0"});
    constexpr double seconds = 120;
    if (content == Content::noise) {
        test::generateNoise(file, seconds, shape.sampleRate, shape.channels, codec);
    } else {
        auto channels = expressions(content, shape.sampleRate);
        channels.resize(std::size_t(shape.channels));
        test::generateSignal(file, channels, seconds, shape.sampleRate, codec);
    }
    return made.emplace(key, test::readBytes(file)).first->second;
}

class RadioJoinTest : public testing::TestWithParam<JoinRow> {
protected:
    // Moments come as the loop hears from the network; a coarser clock would bunch them.
    static constexpr int ticksPerSecond = 64;  // the clock adds up its ticks without rounding
    test::LoopbackHttpServer server{16, 60};
    std::shared_ptr<test::ManualLoopClock> clock = std::make_shared<test::ManualLoopClock>();
    std::shared_ptr<HttpLoop> loop = std::make_shared<HttpLoop>("radio-join-test", clock);
    std::shared_ptr<std::atomic<uint64_t>> fed = std::make_shared<std::atomic<uint64_t>>(0);
    std::unique_ptr<test::LiveStation> station;
    std::unique_ptr<RadioStream> stream;
    std::size_t connections = 1;
    int64_t ticks = 0;
    int64_t heard = 0;

    void TearDown() override {
        if (stream) stream->stop();
        stream.reset();
        if (station) station->close();
        server.stop();
    }

    bool takenIn() {
        if (!station->waitUntilSent(connections)) return false;
        uint64_t sent = 0;
        for (const auto& [from, to] : station->sent()) sent += to - from;
        // A join's comparisons run off the loop, in real time: the clock waits for them.
        return loop->waitUntil([&] { return fed->load() == sent && !RadioStreamTesting::comparing(*stream); },
                               patience);
    }

    // The clock moves in ticks; the stream takes in what each put on the air and is heard in
    // step, as a sound card would.
    bool play(double seconds) {
        std::vector<float> l(4096), r(4096);
        for (int i = 0; i < int(std::lround(seconds * ticksPerSecond)); ++i) {
            clock->advance(1.0 / ticksPerSecond);
            if (!takenIn()) return false;
            const int frames = int((ticks + 1) * 44100 / ticksPerSecond - ticks * 44100 / ticksPerSecond);
            ++ticks;
            heard += stream->render(frames, l.data(), r.data());
        }
        return true;
    }

    struct Place {
        // How much more of the station went on the air than the stream received or played
        // as silence for a gap, in seconds: it grows by what was lost and shrinks by what
        // was received twice.
        double behind;
        double listener;  // the listener's distance behind live, in seconds
        int dropouts;
    };
    Place place() {
        const auto status = stream->currentStatus();
        const auto unheard = std::llround(status.bufferedSeconds * 44100);
        int64_t filled = 0;
        loop->dispatchSync([&] { filled = RadioStreamTesting::gapFilledFrames(*stream); });
        const double listener = station->distanceBehindLive(unheard);
        return {station->stationTime() - listener - double(heard - filled) / 44100, listener, status.dropouts};
    }
};

TEST_P(RadioJoinTest, EachJoinKeepsItsPlaceAndLosesOnlyWhatWasNotSent) {
    const JoinRow& row = GetParam();
    const Shape& shape = row.shape;
    const std::string& audio = stationAudio(shape, row.content);
    const std::vector<std::size_t> ends = test::codecFrameEnds(audio);
    ASSERT_GT(ends.size(), 1000u);
    // MPEG-2 layer III, below 32 kHz, has half as long frames.
    const double frameSeconds = (shape.aac ? 1024.0 : shape.sampleRate < 32000 ? 576.0 : 1152.0) / shape.sampleRate;
    // The station's time at the end of the codec frames that end by a byte, and at the
    // start of the first whole one that begins there.
    const auto endedBy = [&](std::size_t byte) {
        return double(std::upper_bound(ends.begin(), ends.end(), byte) - ends.begin()) * frameSeconds;
    };
    const auto wholeFrom = [&](std::size_t byte) {
        const bool onFrame = byte == 0 || std::binary_search(ends.begin(), ends.end(), byte);
        return endedBy(byte) + (onFrame ? 0 : frameSeconds);
    };
    station = std::make_unique<test::LiveStation>(
        server, "/live", clock,
        test::LiveStation::Options{.audio = audio,
                                   .burst = shape.burst,
                                   // On the air a while: the first burst begins past the encoder's start.
                                   .onAirAtStart = shape.burst + 65536,
                                   .frameEnds = ends,
                                   .frameSeconds = frameSeconds,
                                   .jitter = row.jitter,
                                   .mimeType = shape.aac ? "audio/aac" : "audio/mpeg",
                                   .blockBytes = shape.blockBytes,
                                   .clockRate = row.clockRate,
                                   .earlyFrameEvery = row.earlyFrameEvery,
                                   .linkRate = row.linkRate,
                                   .roundTrip = row.roundTrip});
    RadioStream::Options options;
    options.loop = loop;
    options.decoderFactory = test::countingDecoders(fed);
    stream = std::make_unique<RadioStream>(server.url("/live"), "NorvoStudio/1.2 (+test)", 2.0, options);
    stream->start();
    ASSERT_TRUE(station->waitUntilSent(1));
    ASSERT_TRUE(play(row.firstSeconds));

    std::vector<Place> places = {place()};
    std::vector<double> uncovered = {0};
    for (int join = 0; join < row.joins; ++join) {
        const double outage = row.outages[std::size_t(join) % row.outages.size()];
        const double hold =
            row.holds.empty() ? 0 : std::min(outage - 1.0, row.holds[std::size_t(join) % row.holds.size()]);
        const double stall = outage - 1.0 - hold;  // the stream waits a second before it retries
        ASSERT_GE(stall, 0) << row.name;
        station->drop(stall);
        ASSERT_TRUE(play(stall));
        ASSERT_TRUE(loop->waitUntil([&] { return stream->currentStatus().network == Network::reconnecting(1); },
                                    patience))
            << "join " << join;
        station->holdNext(hold);
        ASSERT_TRUE(play(1.0 - 1.0 / ticksPerSecond));
        ++connections;
        ASSERT_TRUE(play(1.0 / ticksPerSecond + hold));
        // A second after the first byte, or a little after a slow link brought the first
        // frame not received yet; the connection lasts until its burst has come whole.
        double due = 1.0, caughtUp = 0;
        if (station->carriedBy(0)) {
            const auto sent = station->sent();
            const std::size_t from = sent.back().first, heard = sent[sent.size() - 2].second;
            const double rate = station->streamBytesPerSecond();
            const auto carriedBy = [&](double bytes, double perSecond) {
                double t = 0;
                while (*station->carriedBy(t) < bytes + perSecond * t) t += 1.0 / ticksPerSecond;
                return t;
            };
            due = std::max(due, carriedBy(double(heard > from ? heard - from : 0), 0) + 0.3);
            caughtUp = carriedBy(double(shape.burst), rate);
            // Where the audio cannot place the join (a steady tone), only the timing can, once
            // the burst has come whole and been dated.
            if (row.content == Content::steadyTone) due = std::max(due, caughtUp + 1.0);
        }
        ASSERT_TRUE(play(due));
        EXPECT_EQ(stream->currentStatus().network, Network::streaming())
            << due << " s after the first byte of join " << join;
        ASSERT_TRUE(play(std::max(2.0, caughtUp + 1.0 - due)));
        const auto sent = station->sent();
        ASSERT_EQ(sent.size(), connections);
        const auto& [from, to] = sent[sent.size() - 1];
        uncovered.push_back(std::max(0.0, wholeFrom(from) - endedBy(sent[sent.size() - 2].second)));
        places.push_back(place());
    }
    // Only what the burst did not cover is missing; whatever else moves is heard twice or lost.
    // The listener stays as far behind live where the backlog played on through the outage,
    // and where part of the outage was never sent again: silence stands for that part, and
    // plays out while the prebuffer fills after a dropout. A burst that covers a dropout
    // leaves the listener behind by the dropout.
    double worst = 0, drift = 0, listenerWorst = 0;
    for (std::size_t join = 1; join < places.size(); ++join) {
        const Place &before = places[join - 1], &after = places[join];
        const double moved = after.behind - before.behind - uncovered[join];
        drift += moved;
        worst = std::max(worst, std::fabs(moved));
        EXPECT_NEAR(moved, 0, 0.02) << "join " << join - 1 << " (" << uncovered[join] << " s not sent again)";
        // A link too slow to bring the burst before the backlog ran out forced the dropout.
        const bool forced = row.linkRate > 0 && after.dropouts > before.dropouts;
        if (!forced && (after.dropouts == before.dropouts || uncovered[join] > 0)) {
            const double later = after.listener - before.listener;
            listenerWorst = std::max(listenerWorst, std::fabs(later));
            EXPECT_GE(later, -0.02) << "nearer live after join " << join - 1;
            EXPECT_LE(later, 0.02) << "further behind live after join " << join - 1;
        }
    }
    // A tone's timing errors may not add up beyond a period (25 ms) of it.
    EXPECT_NEAR(drift, 0, row.content == Content::steadyTone ? 0.025 : 0.04) << "over all joins";
    std::printf("JOIN-DISTANCE %s worst %.1f ms, drift %.1f ms, behind live %.1f ms, dropouts %d\n", row.name.c_str(),
                worst * 1000, drift * 1000, listenerWorst * 1000, places.back().dropouts);
}

constexpr std::size_t KiB = 1024;
// Outages from 1.1 s up; the stream's own second of waiting is part of each.
const std::vector<double> usualOutages = {1.125, 2.0, 2.6875, 3.375};
const std::vector<double> longOutages = {3.25, 3.375, 3.4375};
const std::vector<double> shortOutages = {1.125, 1.25};
const std::vector<double> noHolds = {};
const std::vector<double> heldTwoSeconds = {2.0, 0.0, 1.0, 2.0};

INSTANTIATE_TEST_SUITE_P(
    Shapes, RadioJoinTest,
    testing::Values(
        // 48 kHz AAC, resampled by the stream: loops and phrases repeated on the join.
        JoinRow{"Aac48kLoopedSweep", {true, 48000, 128, 64 * KiB, 0}, Content::loopedSweep, usualOutages, noHolds},
        JoinRow{"Aac48kPhrasesServerBlocks",
                {true, 48000, 128, 64 * KiB, 4096},
                Content::repeatedPhrases,
                usualOutages,
                noHolds},
        // Bursts shorter than the outage: the phrase's earlier play is no place to join.
        JoinRow{
            "Mp3Burst16KiBPhrases", {false, 44100, 128, 16 * KiB, 0}, Content::repeatedPhrases, usualOutages, noHolds},
        JoinRow{"Aac48kBurst16KiBPhrases",
                {true, 48000, 128, 16 * KiB, 0},
                Content::repeatedPhrases,
                usualOutages,
                noHolds},
        JoinRow{"Mp3At320Phrases", {false, 44100, 320, 64 * KiB, 0}, Content::repeatedPhrases, usualOutages, noHolds},
        // A burst that reaches back a little over the last frame received: too little of it
        // overlaps for a match to see, but an older period of the tone is seen.
        JoinRow{"Mp3At320ToneShortOverlaps",
                {false, 44100, 320, 64 * KiB, 0},
                Content::steadyTone,
                {1.375, 1.4375, 1.5},
                noHolds,
                5,
                6},
        // A first connection shorter than the 128 KiB burst it began with.
        JoinRow{"Aac48kBurst128KiBShortFirstTone",
                {true, 48000, 128, 128 * KiB, 0},
                Content::steadyTone,
                usualOutages,
                noHolds,
                3.625},
        // Long outages, some of them held back by the server.
        JoinRow{"Aac48kPhrasesLongOutagesHeld",
                {true, 48000, 128, 64 * KiB, 0},
                Content::repeatedPhrases,
                longOutages,
                heldTwoSeconds},
        // The rest of the grid, sparsely.
        JoinRow{"Mp3At64Rate32kSweepBlocks",
                {false, 32000, 64, 64 * KiB, 1500},
                Content::loopedSweep,
                usualOutages,
                noHolds,
                5,
                6},
        JoinRow{"Mp3At192Rate48kNoise128KiB",
                {false, 48000, 192, 128 * KiB, 0},
                Content::noise,
                usualOutages,
                heldTwoSeconds,
                5,
                6},
        JoinRow{"Aac48At44kSilenceThenMusic",
                {true, 44100, 48, 64 * KiB, 0},
                Content::silenceThenMusic,
                usualOutages,
                noHolds,
                5,
                6},
        // A station whose clock runs 500 ppm slow: the place the timing keeps sinks with it.
        JoinRow{"Mp3SlowClockTone",
                {false, 44100, 128, 64 * KiB, 0},
                Content::steadyTone,
                usualOutages,
                noHolds,
                5,
                12,
                0.9995},
        // A source that hands on a codec frame early now and then, on a network that delays
        // nothing: the frame that came soonest does not date the station's gaps.
        JoinRow{"Mp3Burst16KiBEarlyFramesNoise",
                {false, 44100, 128, 16 * KiB, 0},
                Content::noise,
                shortOutages,
                noHolds,
                5,
                6,
                1,
                0,
                3.25},
        // Early frames on a network that delays others by up to 12 ms, at a rate whose codec
        // frames last 46 ms: neither the live line nor the held frames may be dated by them.
        JoinRow{"Aac22kBurst16KiBEarlyFramesNoise",
                {true, 22050, 64, 16 * KiB, 0},
                Content::noise,
                usualOutages,
                noHolds,
                5,
                12,
                1,
                0.012,
                9},
        // A resampled tone whose joins land a fraction of a period off, each leaving a step in
        // what was received, which the next join's comparison must not reach across.
        JoinRow{"Aac48kBurst128KiBToneEarlyFrames",
                {true, 48000, 128, 128 * KiB, 0},
                Content::steadyTone,
                usualOutages,
                noHolds,
                5,
                12,
                1,
                0.03,
                2.3},
        // A 320 kbps burst about as long as the outage: the timing alone places joins that
        // overlap too little to compare, and ones whose burst only just falls short are gaps.
        JoinRow{"Mp3At320NoiseBurstAboutTheOutage",
                {false, 44100, 320, 64 * KiB, 0},
                Content::noise,
                {1.5625, 1.59375, 1.609375},
                noHolds},
        // Bursts longer than any fixed allowance: 256 KiB at 192 kbps (11 s), and 64 KiB at
        // 32 kbps mono (16 s), which reaches back past the history a fixed size would keep.
        JoinRow{"Aac192Burst256KiBPhrases",
                {true, 48000, 192, 256 * KiB, 0},
                Content::repeatedPhrases,
                {1.125, 1.5, 2.0, 2.1875},
                noHolds,
                5,
                8},
        JoinRow{"Mp3At32Rate22kMonoBurst64KiBNoise",
                {false, 22050, 32, 64 * KiB, 0, 1},
                Content::noise,
                usualOutages,
                noHolds,
                18,
                6},
        // Links a few times the stream's rate: the burst is still arriving when the buffer
        // runs low, and must not be taken for one that ended short of the last frame.
        // A far server whose slow start brings the burst in round trips 0.3 s apart.
        JoinRow{"Mp3FarServerSlowStartTone",
                {false, 44100, 128, 64 * KiB, 0},
                Content::steadyTone,
                usualOutages,
                noHolds,
                5,
                6,
                1,
                0.03,
                0,
                4,
                0.3},
        // An overlap longer than any fixed history: 256 KiB at 96 kbps is 22 s.
        JoinRow{"Aac96Burst256KiBPhrasesLongOverlap",
                {true, 44100, 96, 256 * KiB, 0},
                Content::repeatedPhrases,
                {1.125, 1.5},
                noHolds,
                26,
                4},
        JoinRow{"Mp3SlowLink1_5xNoise",
                {false, 44100, 128, 64 * KiB, 0},
                Content::noise,
                usualOutages,
                noHolds,
                5,
                6,
                1,
                0.03,
                0,
                1.5},
        JoinRow{"Mp3SlowLink3xNoise",
                {false, 44100, 128, 64 * KiB, 0},
                Content::noise,
                usualOutages,
                noHolds,
                5,
                8,
                1,
                0.03,
                0,
                3},
        JoinRow{"Mp3NoBurstTone", {false, 44100, 128, 0, 0}, Content::steadyTone, usualOutages, noHolds, 5, 6},
        JoinRow{"Aac96At32kNoiseBlocks",
                {true, 32000, 96, 64 * KiB, 4096},
                Content::noise,
                longOutages,
                heldTwoSeconds,
                5,
                6}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace norvo
