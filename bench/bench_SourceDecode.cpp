// Throughput of the decoded source stream against the ffmpeg command-line tool decoding
// the same file to 44100 Hz float stereo, both timed in this run. The figure is our
// speed divided by ffmpeg's: above 1 we decode faster.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "AudioEngine/DecodedSourceStream.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/RunCollector.hpp"

namespace {

using namespace norvo;

constexpr double fileSeconds = 180;

struct Fixture {
    test::TemporaryDirectory directory;
    std::filesystem::path file = directory / "programme.mp3";
    Fixture() {
        // Tones with a slow sweep and some noise: enough content to keep the decoder busy.
        test::generateSignal(file,
                             {"0.3*sin(2*PI*(220+200*sin(0.1*t))*t)+0.05*(2*random(0)-1)",
                              "0.3*sin(2*PI*(330+150*sin(0.13*t))*t)+0.05*(2*random(1)-1)"},
                             fileSeconds);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Opens a stream and pulls it dry as fast as it decodes, as a render would that never waits.
void decodedStream(benchmark::State& state) {
    std::vector<float> left(4096), right(4096);
    int64_t frames = 0;
    for (auto _ : state) {
        DecodedSourceStream stream(fixture().file, 0);
        while (!stream.isDrained()) {
            if (stream.pull(4096, left.data(), right.data()) < 4096) stream.waitForFrames(4096, std::chrono::seconds(10));
            benchmark::DoNotOptimize(left.data());
        }
        frames = stream.position();
    }
    state.counters["frames"] = double(frames);
}

void ffmpegTool(benchmark::State& state) {
    for (auto _ : state)
        test::runFFmpeg({"-i", fixture().file.string(), "-f", "f32le", "-ac", "2", "-ar", "44100", "/dev/null"});
}

}  // namespace

int main(int argc, char** argv) {
    fixture();
    // Several seconds each, so that a busy machine's noise averages out of the ratio.
    benchmark::RegisterBenchmark("decoded-stream", decodedStream)->UseRealTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ffmpeg", ffmpegTool)->UseRealTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    bench::RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const double ours = collector.seconds("decoded-stream");
    const double theirs = collector.seconds("ffmpeg");
    bench::printFigure("source-decode-vs-ffmpeg", ours > 0 ? theirs / ours : 0.0);
    benchmark::Shutdown();
    return 0;
}
