// Throughput of the decoded source stream against the ffmpeg command-line tool decoding
// the same file to 44100 Hz float stereo, both timed in this run. The figure is our
// speed divided by ffmpeg's (above 1 we decode faster): the median over rounds in which
// the two take turns. --rounds=N sets their number (nine unless told, at least five).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AudioEngine/DecodedSourceStream.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"

namespace {

using namespace norvo;
using Clock = std::chrono::steady_clock;

constexpr double fileSeconds = 180;
constexpr int minimumRounds = 5;
constexpr int defaultRounds = 9;

struct Codec {
    const char* name;
    const char* fileName;
    std::vector<std::string> codecArgs;  // empty: the usual codec for the extension
};

const std::vector<Codec>& codecs() {
    static const std::vector<Codec> list{
        {"mp3", "programme.mp3", {}},       {"aac", "programme-aac.m4a", {"-c:a", "aac", "-b:a", "256k"}},
        {"alac", "programme-alac.m4a", {}}, {"flac", "programme.flac", {}},
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

// Opens a stream and pulls it dry as fast as it decodes, as a render would that never
// waits; returns the seconds it took.
double decodeOnce(const Codec& codec) {
    std::vector<float> left(4096), right(4096);
    const auto begun = Clock::now();
    DecodedSourceStream stream(fixture().file(codec), 0);
    while (!stream.isDrained()) {
        if (stream.pull(4096, left.data(), right.data()) < 4096) stream.waitForFrames(4096, std::chrono::seconds(10));
        benchmark::DoNotOptimize(left.data());
    }
    return std::chrono::duration<double>(Clock::now() - begun).count();
}

// The reference: the ffmpeg command-line tool decoding the same file to 44100 Hz float
// stereo, with its default threading.
double ffmpegOnce(const Codec& codec) {
    const auto begun = Clock::now();
    test::runFFmpeg({"-i", fixture().file(codec).string(), "-f", "f32le", "-ac", "2", "-ar", "44100", "/dev/null"});
    return std::chrono::duration<double>(Clock::now() - begun).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = defaultRounds;
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with("--rounds="))
            rounds = std::max(minimumRounds, std::atoi(argv[i] + 9));
    fixture();
    for (const Codec& codec : codecs()) {
        decodeOnce(codec);  // warm: the file in the page cache, the libraries loaded
        ffmpegOnce(codec);
        // Ours and the reference take turns, so that a busy machine's load falls on both
        // alike; each round gives a ratio, and the figure is their median.
        std::vector<double> ratios;
        for (int round = 0; round < rounds; ++round) {
            const double ours = decodeOnce(codec);
            const double theirs = ffmpegOnce(codec);
            ratios.push_back(theirs / ours);
            std::printf("%-5s round %d: ours %7.1f ms, ffmpeg %7.1f ms, ratio %.2f\n", codec.name, round + 1,
                        ours * 1e3, theirs * 1e3, ratios.back());
        }
        bench::printFigure(std::string("source-decode-vs-ffmpeg-") + codec.name, median(ratios));
    }
    return 0;
}
