// The transport's per-buffer advance, as the render calls it: playing and winding.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "AudioEngine/CassetteTransport.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using norvo::CassetteTransport;
using norvo::TransportCommand;

void advanceInMode(benchmark::State& state, TransportCommand start) {
    CassetteTransport transport;
    transport.load({.type = norvo::CassetteType{"C120", 3600}, .side = norvo::TapeSide::a}, 0);
    const int64_t middle = transport.sideEnd() / 2;
    for (auto _ : state) {
        // Keep the deck running: reload before an end would stop it.
        if (transport.mode == norvo::TransportMode::stopped) {
            transport.head = middle;
            transport.handle(start);
        }
        transport.advance(512);
        benchmark::DoNotOptimize(transport.head);
    }
}

void BM_AdvancePlaying(benchmark::State& state) { advanceInMode(state, TransportCommand::play); }
void BM_AdvanceFastForward(benchmark::State& state) { advanceInMode(state, TransportCommand::beginFastForward); }
void BM_AdvanceRewinding(benchmark::State& state) { advanceInMode(state, TransportCommand::beginRewind); }

BENCHMARK(BM_AdvancePlaying);
BENCHMARK(BM_AdvanceFastForward);
BENCHMARK(BM_AdvanceRewinding);

}  // namespace

int main(int argc, char** argv) {
    const auto seconds = norvo::bench::runMeasured(argc, argv);
    // The figure is the slowest of the three modes: what one render buffer costs at worst.
    double worst = 0;
    for (const char* name : {"BM_AdvancePlaying", "BM_AdvanceFastForward", "BM_AdvanceRewinding"}) {
        auto it = seconds.find(name);
        if (it == seconds.end()) return 1;
        worst = std::max(worst, it->second);
    }
    norvo::bench::printFigure("transport-advance-ns", worst * 1e9);
    return 0;
}
