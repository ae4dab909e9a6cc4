// How long the main thread waits in the source player's play, seek and stop (and in the
// work the player hands back to it) on a three-hour MP3, in milliseconds. The reference,
// measured in the same run, is opening, seeking and priming such a stream and stopping
// it again on the calling thread, which is what every play and seek once cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/DecodedSourceStream.hpp"
#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "Platform/ManualExecutor.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;
using Clock = std::chrono::steady_clock;

constexpr int64_t threeHours = int64_t(3 * 3600) * 44100;

struct LongFile {
    test::TemporaryDirectory directory;
    std::filesystem::path file = directory / "Three hours.mp3";
    // A minute of CBR MP3 without a length header, one hundred and eighty times over:
    // only reading it through tells its exact length.
    LongFile() {
        const auto minute = directory / "minute.mp3";
        test::generateNoise(minute, 60, 44100, 2,
                            {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0"}, 0.2);
        std::ifstream in(minute, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 180; ++i) out.write(bytes.data(), std::streamsize(bytes.size()));
    }
};

LongFile& longFile() {
    static LongFile f;
    return f;
}

double millisecondsOf(auto&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The reference: open at a frame, prime, and stop again, all on this thread.
void BM_OpenSeekStopOnTheCaller(benchmark::State& state) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> anywhere(0, threeHours - 44100 * 60);
    for (auto _ : state) {
        DecodedSourceStream stream(longFile().file, anywhere(random));
        stream.waitForFrames(4096, std::chrono::seconds(10));
        stream.cancel();
    }
}
BENCHMARK(BM_OpenSeekStopOnTheCaller)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
    longFile();
    const auto measured = norvo::bench::runMeasured(argc, argv);

    AudioCore core;
    DecodedSourceStreamFactory factory;
    ManualExecutor executor;
    double longest = 0;
    {
        SourcePlayerEngine player(core, factory, executor);
        auto onMain = [&](auto&& work) { longest = std::max(longest, millisecondsOf(work)); };
        // The run loop between user actions: a tick every 16 ms runs what was handed back.
        auto idle = [&](int ticks) {
            for (int i = 0; i < ticks; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(16));
                onMain([&] { executor.runPending(); });
            }
        };
        onMain([&] { player.add({longFile().file}); });
        const Uuid id = player.tracks().front().id;
        std::mt19937 random(11);
        std::uniform_int_distribution<int64_t> anywhere(0, threeHours - 44100 * 60);
        for (int round = 0; round < 12; ++round) {
            onMain([&] { player.play(id); });
            idle(round % 3);  // stop shortly after play, while the stream still opens or measures
            onMain([&] { player.stop(); });
            idle(2);
            onMain([&] { player.play(id); });
            idle(6);
            for (int seek = 0; seek < 4; ++seek) {
                onMain([&] { player.seek(anywhere(random)); });
                idle(seek);
            }
            idle(6);
            onMain([&] { player.stop(); });
            idle(1);
        }
        onMain([&] { player.stop(); });
    }
    for (const auto& [name, seconds] : measured)
        if (name.starts_with("BM_OpenSeekStopOnTheCaller"))
            std::printf("reference: opening, priming and stopping on the caller takes %.1f ms\n", seconds * 1e3);
    norvo::bench::printFigure("main-stall-ms", longest);
    return 0;
}
