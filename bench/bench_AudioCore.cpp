// The audio core's full render while recording a decoded source: source pull, monitor,
// crossfade, line to tape, meters and transport, in times real time on one core.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/DecodedSourceStream.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/RunCollector.hpp"

namespace {

using namespace norvo;

constexpr double renderedSeconds = 20;
constexpr int callbackFrames = 512;

struct Fixture {
    test::TemporaryDirectory directory;
    std::filesystem::path file = directory / "programme.wav";
    Fixture() { test::generateNoise(file, renderedSeconds + 2, 44100, 2, {}, 0.3); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Each iteration records 20 s of a decoded file onto a fresh C60 in device-sized
// callbacks. The stream's ring holds all of it beforehand, so what is timed is the
// render, not the decoder.
void recordDecodedSource(benchmark::State& state) {
    std::vector<float> left(callbackFrames), right(callbackFrames);
    for (auto _ : state) {
        AudioCore core;
        auto media = std::make_shared<TapeMedia>(CassetteType::c60(), fixture().directory.path());
        core.loadMedia(media, {.type = CassetteType::c60(), .side = TapeSide::a}, 0);
        DecodedSourceStream stream(fixture().file, 0, renderedSeconds + 1);
        stream.waitForFrames(stream.capacity(), std::chrono::seconds(30));
        core.installSourceStream(&stream, AudioCore::SourceState::playing);
        core.transport(TransportCommand::record);

        const auto frames = int64_t(renderedSeconds * 44100);
        const auto start = std::chrono::steady_clock::now();
        for (int64_t done = 0; done < frames; done += callbackFrames) {
            core.render(callbackFrames, left.data(), right.data());
            benchmark::DoNotOptimize(left.data());
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

        if (core.snapshot(AudioCore::Peaks::keep).underrunFrames != 0) state.SkipWithError("the source underran");
        core.installSourceStream(nullptr, AudioCore::SourceState::stopped);
    }
}

}  // namespace

int main(int argc, char** argv) {
    fixture();
    benchmark::RegisterBenchmark("render/record-decoded-source", recordDecodedSource)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    bench::RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const double seconds = collector.seconds("render/record-decoded-source");
    bench::printFigure("render-xrt", seconds > 0 ? renderedSeconds / seconds : 0.0);
    benchmark::Shutdown();
    return 0;
}
