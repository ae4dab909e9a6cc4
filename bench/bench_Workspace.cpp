// What recording into the memory-mapped side file costs next to copying the same
// number of bytes into it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <stdlib.h>
#include <vector>

#include "AudioEngine/TapeSideStorage.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

constexpr int64_t chunk = 4096;             // the render's largest chunk
constexpr int64_t sideFrames = 60 * 44100;  // a minute: the pages stay in memory

std::filesystem::path workspace;

std::vector<float> noise(unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> out(chunk);
    for (auto& s : out) s = sample(generator);
    return out;
}

// Both benchmarks walk the same side in the same chunks, so they touch the same pages.
template <typename WriteChunk>
void walkSide(benchmark::State& state, const char* file, WriteChunk writeChunk) {
    norvo::TapeSideStorage storage(workspace / file, sideFrames);
    int64_t at = 0;
    for (auto _ : state) {
        writeChunk(storage, at);
        at += chunk;
        if (at + chunk > sideFrames) at = 0;
    }
    state.SetBytesProcessed(state.iterations() * chunk * 4);
}

void BM_TapeSideWrite(benchmark::State& state) {
    const auto left = noise(1), right = noise(2);
    walkSide(state, "write.pcm", [&](norvo::TapeSideStorage& storage, int64_t at) {
        storage.write(at, left.data(), right.data(), chunk);
        benchmark::ClobberMemory();
    });
}

void BM_Memcpy(benchmark::State& state) {
    const std::vector<int16_t> interleaved(chunk * 2, 1234);
    walkSide(state, "memcpy.pcm", [&](norvo::TapeSideStorage& storage, int64_t at) {
        std::memcpy(storage.frames() + at * 2, interleaved.data(), chunk * 4);
        benchmark::ClobberMemory();
    });
}

BENCHMARK(BM_TapeSideWrite);
BENCHMARK(BM_Memcpy);

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvo-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    workspace = pattern;
    const auto seconds = norvo::bench::runMeasured(argc, argv);
    std::error_code ec;
    std::filesystem::remove_all(workspace, ec);

    const auto write = seconds.find("BM_TapeSideWrite");
    const auto copy = seconds.find("BM_Memcpy");
    if (write == seconds.end() || copy == seconds.end()) return 1;
    // Throughput of our write over that of memcpy for the same bytes: higher is
    // better, 1 would mean converting costs nothing over a plain copy.
    norvo::bench::printFigure("workspace-write-vs-memcpy", copy->second / write->second);
    return 0;
}
