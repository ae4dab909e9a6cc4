// The tuner's per-tick supervision with a steady stream status, next to the status copy
// that every tick has to make anyway.
#include <benchmark/benchmark.h>

#include "Platform/ManualExecutor.hpp"
#include "Radio/TunerEngine.hpp"
#include "Support/FakeTunerDirectory.hpp"
#include "Support/FakeTunerStreamFactory.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;

struct SteadyTuner {
    SteadyTuner() : engine(core, defaults, directory, streams, executor, Locale("en_US")) {
        RadioStation station;
        station.id = "steady";
        station.name = "Steady Radio";
        station.streamURL = *Url::parse("http://127.0.0.1/steady");
        station.codec = "MP3";
        station.bitrate = 128;
        engine.tune(station);
        auto& status = streams.last()->status;
        status.network = RadioStream::Status::Network::streaming();
        status.playing = true;
        status.bufferedSeconds = 2.5;
        status.prebufferSeconds = 2.0;
        status.channels = 2;
        status.format = "MP3";
        status.bitrate = 128;
        status.stationName = "Steady Radio";
        status.title = "An artist - A title that is long enough to need the heap";
        status.titleSerial = 1;
        status.titleKnown = true;
        engine.tick();
    }

    AudioCore core;
    InMemoryDefaultsStore defaults;
    test::FakeTunerDirectory directory;
    test::FakeTunerStreamFactory streams;
    ManualExecutor executor;
    TunerEngine engine;
};

void BM_TunerTick(benchmark::State& state) {
    SteadyTuner tuner;
    for (auto _ : state) tuner.engine.tick();
}

void BM_StatusCopy(benchmark::State& state) {
    SteadyTuner tuner;
    auto stream = tuner.streams.last();
    for (auto _ : state) {
        RadioStream::Status copy = stream->currentStatus();
        benchmark::DoNotOptimize(copy);
    }
}

BENCHMARK(BM_TunerTick);
BENCHMARK(BM_StatusCopy);

}  // namespace

int main(int argc, char** argv) {
    const auto seconds = bench::runMeasured(argc, argv);
    auto tick = seconds.find("BM_TunerTick");
    auto copy = seconds.find("BM_StatusCopy");
    if (tick == seconds.end() || copy == seconds.end()) return 1;
    bench::printFigure("tuner-tick-us", tick->second * 1e6);
    bench::printFigure("tuner-tick-vs-status-copy", tick->second / copy->second);
    return 0;
}
