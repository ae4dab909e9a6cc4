// Throughput of the decoded source stream against the ffmpeg command-line tool decoding
// the same file to 44100 Hz float stereo, both timed in this run. The figure is our
// speed divided by ffmpeg's: above 1 we decode faster.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "AudioEngine/DecodedSourceStream.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/RunCollector.hpp"

namespace {

using namespace norvo;

constexpr double fileSeconds = 180;

struct Codec {
    const char* name;
    const char* fileName;
    std::vector<std::string> codecArgs;  // empty: the usual codec for the extension
};

const std::vector<Codec>& codecs() {
    static const std::vector<Codec> list{
        {"mp3", "programme.mp3", {}},
        {"aac", "programme-aac.m4a", {"-c:a", "aac", "-b:a", "256k"}},
        {"alac", "programme-alac.m4a", {}},
        {"flac", "programme.flac", {}},
        {"wav", "programme.wav", {}},
    };
    return list;
}

struct Fixture {
    test::TemporaryDirectory directory;
    Fixture() {
        // Tones with a slow sweep and some noise: enough content to keep the decoder busy.
        for (const Codec& codec : codecs())
            test::generateSignal(directory / codec.fileName,
                                 {"0.3*sin(2*PI*(220+200*sin(0.1*t))*t)+0.05*(2*random(0)-1)",
                                  "0.3*sin(2*PI*(330+150*sin(0.13*t))*t)+0.05*(2*random(1)-1)"},
                                 fileSeconds, 44100, codec.codecArgs);
    }
    std::filesystem::path file(const Codec& codec) const { return directory / codec.fileName; }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Opens a stream and pulls it dry as fast as it decodes, as a render would that never waits.
void decodedStream(benchmark::State& state, const Codec* codec) {
    std::vector<float> left(4096), right(4096);
    int64_t frames = 0;
    for (auto _ : state) {
        DecodedSourceStream stream(fixture().file(*codec), 0);
        while (!stream.isDrained()) {
            if (stream.pull(4096, left.data(), right.data()) < 4096) stream.waitForFrames(4096, std::chrono::seconds(10));
            benchmark::DoNotOptimize(left.data());
        }
        frames = stream.position();
    }
    state.counters["frames"] = double(frames);
}

// The reference: the ffmpeg command-line tool decoding the same file to 44100 Hz float
// stereo, with its default threading.
void ffmpegTool(benchmark::State& state, const Codec* codec) {
    for (auto _ : state)
        test::runFFmpeg({"-i", fixture().file(*codec).string(), "-f", "f32le", "-ac", "2", "-ar", "44100", "/dev/null"});
}

}  // namespace

int main(int argc, char** argv) {
    fixture();
    // Several seconds each, so that a busy machine's noise averages out of the ratio; the
    // two of one codec run back to back.
    for (const Codec& codec : codecs()) {
        benchmark::RegisterBenchmark((std::string("decoded-stream/") + codec.name).c_str(), decodedStream, &codec)
            ->UseRealTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("ffmpeg/") + codec.name).c_str(), ffmpegTool, &codec)
            ->UseRealTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    bench::RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    for (const Codec& codec : codecs()) {
        const double ours = collector.seconds(std::string("decoded-stream/") + codec.name);
        const double theirs = collector.seconds(std::string("ffmpeg/") + codec.name);
        bench::printFigure(std::string("source-decode-vs-ffmpeg-") + codec.name, ours > 0 ? theirs / ours : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
