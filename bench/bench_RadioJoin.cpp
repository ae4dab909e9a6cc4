// What a reconnection's join costs the loop that every tuner stream shares: the longest
// time one step of the join kept the loop, while streams of several shapes rejoined their
// stations (bursts up to 512 KiB, a slow link among them). The comparisons themselves run
// off the loop; decoding a burst is not part of the join.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
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
#include "support/Figure.hpp"

namespace {

using namespace norvo;

struct Shape {
    const char* name;
    bool aac;
    int sampleRate;
    int kbps;
    std::size_t burst;
    double linkRate;
};

constexpr int ticksPerSecond = 64;

// Joins of one shape: a first connection, then drops of about two seconds.
double joinShape(const Shape& shape) {
    test::TemporaryDirectory scratch;
    const auto file = scratch / (shape.aac ? "station.aac" : "station.mp3");
    auto codec = shape.aac ? test::RadioCodec::aacAdts(shape.kbps) : test::RadioCodec::mp3Cbr(shape.kbps);
    if (!shape.aac) codec.insert(codec.end() - 2, {"-write_xing", "0", "-id3v2_version", "0"});
    test::generateNoise(file, 90, shape.sampleRate, 2, codec);
    const std::string audio = test::readBytes(file);
    const auto ends = test::codecFrameEnds(audio);
    const double frameSeconds = (shape.aac ? 1024.0 : shape.sampleRate < 32000 ? 576.0 : 1152.0) / shape.sampleRate;

    test::LoopbackHttpServer server{16, 120};
    auto clock = std::make_shared<test::ManualLoopClock>();
    auto loop = std::make_shared<HttpLoop>("radio-join-bench", clock);
    auto fed = std::make_shared<std::atomic<uint64_t>>(0);
    test::LiveStation station(server, "/live", clock,
                              {.audio = audio,
                               .burst = shape.burst,
                               .onAirAtStart = shape.burst + 65536,
                               .frameEnds = ends,
                               .frameSeconds = frameSeconds,
                               .jitter = 0.02,
                               .mimeType = shape.aac ? "audio/aac" : "audio/mpeg",
                               .linkRate = shape.linkRate});
    RadioStream::Options options;
    options.loop = loop;
    options.decoderFactory = test::countingDecoders(fed);
    RadioStream stream(server.url("/live"), "NorvoStudio/1.2 (+bench)", 2.0, options);
    stream.start();
    std::size_t connections = 1;
    std::vector<float> left(4096), right(4096);
    int64_t ticks = 0;
    const auto play = [&](double seconds) {
        for (int i = 0; i < int(seconds * ticksPerSecond); ++i) {
            clock->advance(1.0 / ticksPerSecond);
            station.waitUntilSent(connections);
            uint64_t sent = 0;
            for (const auto& [from, to] : station.sent()) sent += to - from;
            loop->waitUntil([&] { return fed->load() == sent && !RadioStreamTesting::comparing(stream); }, 20);
            const int frames = int((ticks + 1) * 44100 / ticksPerSecond - ticks * 44100 / ticksPerSecond);
            ++ticks;
            stream.render(frames, left.data(), right.data());
        }
    };
    station.waitUntilSent(1);
    // A first connection long enough for its burst to come whole, even over a slow link.
    const double burstSeconds = double(shape.burst) * frameSeconds * double(ends.size()) / double(ends.back());
    play(6 + (shape.linkRate > 0 ? burstSeconds / (shape.linkRate - 1) : burstSeconds));
    for (int join = 0; join < 3; ++join) {
        // The stream retries a second after the connection closes.
        const double stall = 0.25 * join;
        station.drop(stall);
        play(stall);
        loop->waitUntil(
            [&] { return stream.currentStatus().network.state == RadioStream::Status::Network::State::reconnecting; },
            20);
        play(1.0 - 1.0 / ticksPerSecond);
        ++connections;
        play(4.0);
    }
    double longest = 0;
    loop->dispatchSync([&] { longest = RadioStreamTesting::longestJoinStep(stream); });
    stream.stop();
    station.close();
    server.stop();
    return longest;
}

void BM_RadioJoin(benchmark::State& state) {
    const Shape shapes[] = {
        {"mp3-128k-64KiB", false, 44100, 128, 64 * 1024, 0},
        {"mp3-128k-512KiB", false, 44100, 128, 512 * 1024, 0},
        {"aac-48k-192k-256KiB", true, 48000, 192, 256 * 1024, 0},
        {"mp3-22k-32k-64KiB", false, 22050, 32, 64 * 1024, 0},
        {"mp3-128k-64KiB-link-1.5x", false, 44100, 128, 64 * 1024, 1.5},
    };
    double worst = 0;
    for (auto _ : state) {
        for (const Shape& shape : shapes) {
            const double busy = joinShape(shape);
            state.counters[std::string(shape.name) + "-ms"] = busy * 1000;
            worst = std::max(worst, busy);
        }
    }
    bench::printFigure("radio-join-decide-ms-max", worst * 1000);
}

}  // namespace

BENCHMARK(BM_RadioJoin)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
