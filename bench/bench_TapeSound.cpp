// Cost of the tape-sound processor for each built-in profile, in times real time on one
// core, next to a plain copy of the same audio (the floor any render step pays).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "AudioEngine/TapeSound/NoiseGenerator.hpp"
#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"
#include "support/Figure.hpp"

namespace {

using namespace norvo;

constexpr int sampleRate = 44100;
constexpr int chunk = 4096;  // what the audio core hands over at most

// One second of programme-like audio: noise at about -14 dBFS RMS.
struct Programme {
    std::vector<float> left, right;
    Programme() : left(sampleRate), right(sampleRate) {
        NoiseGenerator random(2024);
        const float scale = 0.2f / static_cast<float>(NoiseGenerator::triangularRMS);
        for (int i = 0; i < sampleRate; ++i) {
            left[i] = scale * random.triangular();
            right[i] = scale * random.triangular();
        }
    }
};

const Programme& programme() {
    static const Programme p;
    return p;
}

// Each iteration renders one second of audio, chunk by chunk, as the core does.
void renderSecond(benchmark::State& state, TapeSoundProcessor* processor) {
    const Programme& input = programme();
    std::vector<float> left(chunk), right(chunk);
    for (auto _ : state) {
        for (int done = 0; done < sampleRate; done += chunk) {
            int frames = std::min(chunk, sampleRate - done);
            std::memcpy(left.data(), input.left.data() + done, sizeof(float) * static_cast<std::size_t>(frames));
            std::memcpy(right.data(), input.right.data() + done, sizeof(float) * static_cast<std::size_t>(frames));
            if (processor) processor->process(left.data(), right.data(), frames);
            benchmark::DoNotOptimize(left.data());
            benchmark::DoNotOptimize(right.data());
            benchmark::ClobberMemory();
        }
    }
}

void copyOnly(benchmark::State& state) { renderSecond(state, nullptr); }

void builtIn(benchmark::State& state, const SoundProfile& profile) {
    TapeSoundProcessor processor(profile, sampleRate);
    renderSecond(state, &processor);
}

std::string slugOf(const SoundProfile& profile) { return profile.id.substr(std::string("builtin.").size()); }

// Keeps the console output and notes the CPU seconds per iteration (one second of audio).
class FigureReporter : public benchmark::ConsoleReporter {
public:
    // No colours: their escape codes would end up in front of the FIGURE lines.
    FigureReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0)
                cpuSecondsPerSecond[run.run_name.function_name] =
                    run.cpu_accumulated_time / static_cast<double>(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuSecondsPerSecond;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("copy", copyOnly);
    for (const SoundProfile& profile : TapeSoundLibrary::builtIns())
        benchmark::RegisterBenchmark(("tapesound/" + slugOf(profile)).c_str(),
                                     [&profile](benchmark::State& state) { builtIn(state, profile); });

    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto xrt = [&](const std::string& name) {
        auto found = reporter.cpuSecondsPerSecond.find(name);
        return found == reporter.cpuSecondsPerSecond.end() || found->second <= 0 ? 0.0 : 1.0 / found->second;
    };
    norvo::bench::printFigure("tapesound-xrt-copy", xrt("copy"));
    double slowest = 0;
    bool first = true;
    for (const SoundProfile& profile : TapeSoundLibrary::builtIns()) {
        double value = xrt("tapesound/" + slugOf(profile));
        norvo::bench::printFigure("tapesound-xrt-" + slugOf(profile), value);
        slowest = first ? value : std::min(slowest, value);
        first = false;
    }
    norvo::bench::printFigure("tapesound-xrt-min", slowest);
    benchmark::Shutdown();
    return 0;
}
