// What decoding a station costs, and what the render pull costs.
//
// radio-decode-vs-ffmpeg: CPU time of RadioStreamDecoder turning a 128 kbit/s stream
// (fed in network-sized pieces) into 44100 Hz float stereo, over the CPU time of
// `ffmpeg -i FILE -f f32le -ar 44100 -ac 2 -y /dev/null` on the same file. Both are
// taken per hour of audio as the difference between a 10-minute and a 1-minute file, so
// ffmpeg's start-up does not count. MP3 and AAC each get a figure; the plain name is the
// worse of the two.
//
// radio-pull-ns: one RadioStream::render call of 512 frames from a full ring.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/HttpLoop.hpp"
#include "Radio/RadioStream.hpp"
#include "Radio/RadioStreamDecoder.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

extern char** environ;

namespace {

using norvo::RadioStream;
using norvo::RadioStreamDecoder;

constexpr int shortMinutes = 1;
constexpr int longMinutes = 10;
constexpr std::size_t networkPiece = 16 * 1024;

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

double threadCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Runs ffmpeg quietly; returns its CPU seconds (user and system, all threads), or a
// negative number when it failed.
double runFFmpeg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One minute of music-like material (a tone and noise on each side), encoded once and
// repeated: a 128 kbit/s stream of either length.
struct Material {
    norvo::test::TemporaryDirectory directory;
    std::map<std::string, std::filesystem::path> files;  // "mp3-1", "mp3-10", "aac-1", "aac-10"
    std::map<std::string, std::string> bytes;
    std::string error;

    Material() {
        const std::vector<std::string> channels = {"0.25*sin(2*PI*440*t)+0.2*(2*random(0)-1)",
                                                   "0.25*sin(2*PI*1000*t)+0.2*(2*random(1)-1)"};
        const std::vector<std::pair<std::string, std::vector<std::string>>> codecs = {
            {"mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0", "-f", "mp3"}},
            {"aac", {"-c:a", "aac", "-b:a", "128k", "-f", "adts"}}};
        try {
            for (const auto& [name, codec] : codecs) {
                const auto minute = directory / (name + "-minute");
                norvo::test::generateSignal(minute, channels, 60.0, 44100, codec);
                const std::string one = readAll(minute);
                for (int minutes : {shortMinutes, longMinutes}) {
                    const std::string key = name + "-" + std::to_string(minutes);
                    std::string all;
                    for (int i = 0; i < minutes; ++i) all += one;
                    files[key] = directory / (key + "." + name);
                    std::ofstream(files[key], std::ios::binary) << all;
                    bytes[key] = std::move(all);
                }
            }
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
};

Material& material() {
    static Material instance;
    return instance;
}

// Takes the frames as the ring would: copied out of the decoder's buffers.
struct CopyingClient final : RadioStreamDecoder::Client {
    std::vector<float> left = std::vector<float>(RadioStreamDecoder::maximumBatch);
    std::vector<float> right = std::vector<float>(RadioStreamDecoder::maximumBatch);
    int64_t frames = 0;
    bool failed = false;
    void decoderReady(const RadioStreamDecoder::Format&) override {}
    void decodedFrames(const float* l, const float* r, int n) override {
        std::memcpy(left.data(), l, sizeof(float) * std::size_t(n));
        std::memcpy(right.data(), r, sizeof(float) * std::size_t(n));
        frames += n;
    }
    void decoderFailed(const std::string&) override { failed = true; }
};

void BM_Decoder(benchmark::State& state, const std::string& key) {
    Material& m = material();
    if (!m.error.empty()) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    const std::string& bytes = m.bytes[key];
    const auto hint = key.starts_with("mp3") ? RadioStreamDecoder::Hint::mpegLayer3 : RadioStreamDecoder::Hint::adts;
    for (auto _ : state) {
        CopyingClient client;
        const double start = threadCPUSeconds();
        {
            RadioStreamDecoder decoder(hint, client);
            for (std::size_t at = 0; at < bytes.size(); at += networkPiece)
                decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                             std::min(networkPiece, bytes.size() - at));
        }
        state.SetIterationTime(threadCPUSeconds() - start);
        const int64_t expected = int64_t(std::stoi(key.substr(4))) * 60 * 44100;
        if (client.failed || client.frames < expected - 44100) {
            state.SkipWithError("the stream did not decode");
            break;
        }
    }
}

void BM_FFmpeg(benchmark::State& state, const std::string& key) {
    Material& m = material();
    if (!m.error.empty()) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    for (auto _ : state) {
        const double cpu =
            runFFmpeg({"-i", m.files[key].string(), "-f", "f32le", "-ar", "44100", "-ac", "2", "-y", "/dev/null"});
        if (cpu < 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
        state.SetIterationTime(cpu);
    }
}

// --- render pull ---

// Stands in for the codec: keeps the stream's decoder client so that the benchmark can
// push frames on the loop thread between timed runs.
class HeldClient final : public RadioStream::Decoder {
public:
    explicit HeldClient(RadioStreamDecoder::Client& client, std::atomic<RadioStreamDecoder::Client*>& slot) {
        slot = &client;
    }
    void feed(const uint8_t*, std::size_t) override {}
};

void BM_RenderPull(benchmark::State& state) {
    constexpr int frames = 512;
    constexpr int pullsPerRun = int(RadioStream::ringCapacity / frames);  // empties a full ring
    norvo::test::LoopbackHttpServer server(4, 600);
    norvo::test::LoopbackHttpServer::Script silent;
    silent.headers = {{"Content-Type", "audio/mpeg"}};
    silent.stall = true;
    server.route("/live", silent);

    auto loop = std::make_shared<norvo::HttpLoop>(RadioStream::queueLabel);
    std::atomic<RadioStreamDecoder::Client*> client{nullptr};
    RadioStream::Options options;
    options.loop = loop;
    options.idleTimeout = 600;
    options.decoderFactory = [&client](RadioStreamDecoder::Hint, RadioStreamDecoder::Client& c) {
        return std::make_unique<HeldClient>(c, client);
    };
    RadioStream stream(server.url("/live"), "NorvoStudio/1.2 (+bench)", 2.0, options);
    stream.start();
    if (!loop->waitUntil([&] { return client.load() != nullptr; }, 10)) {
        state.SkipWithError("the loopback station did not answer");
        return;
    }

    std::vector<float> batchLeft(RadioStream::outputCapacity), batchRight(RadioStream::outputCapacity);
    for (std::size_t i = 0; i < batchLeft.size(); ++i) batchLeft[i] = batchRight[i] = float(i % 100) * 0.01f;
    std::vector<float> left(frames), right(frames);
    for (auto _ : state) {
        loop->dispatchSync([&] {
            for (std::size_t n = 0; n < RadioStream::ringCapacity; n += batchLeft.size())
                client.load()->decodedFrames(batchLeft.data(), batchRight.data(), int(batchLeft.size()));
        });
        const auto start = std::chrono::steady_clock::now();
        int delivered = 0;
        for (int i = 0; i < pullsPerRun; ++i) delivered += stream.render(frames, left.data(), right.data());
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(left.data());
        if (delivered != pullsPerRun * frames) {
            state.SkipWithError("the ring did not deliver");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count() / pullsPerRun);
    }
    stream.stop();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = 3;
    for (const std::string codec : {"mp3", "aac"}) {
        for (int minutes : {shortMinutes, longMinutes}) {
            const std::string key = codec + "-" + std::to_string(minutes);
            benchmark::RegisterBenchmark(("BM_Decoder/" + key).c_str(), BM_Decoder, key)
                ->UseManualTime()
                ->Iterations(runs)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("BM_FFmpeg/" + key).c_str(), BM_FFmpeg, key)
                ->UseManualTime()
                ->Iterations(runs)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("BM_RenderPull", BM_RenderPull)
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kNanosecond);

    material();  // encode the streams before anything is timed
    const auto measured = norvo::bench::runMeasured(argc, argv);
    auto find = [&](const std::string& name) {
        const auto it = measured.find(name + "/iterations:" + std::to_string(runs) + "/manual_time");
        return it == measured.end() ? -1.0 : it->second;
    };
    int status = 0;
    double worst = 0;
    for (const std::string codec : {"mp3", "aac"}) {
        auto perHour = [&](const std::string& program) {
            const double longRun = find(program + "/" + codec + "-" + std::to_string(longMinutes));
            const double shortRun = find(program + "/" + codec + "-" + std::to_string(shortMinutes));
            if (longRun < 0 || shortRun < 0) return -1.0;
            return (longRun - shortRun) * 60.0 / (longMinutes - shortMinutes);
        };
        const double ours = perHour("BM_Decoder"), reference = perHour("BM_FFmpeg");
        if (ours <= 0 || reference <= 0) {
            status = 1;
            continue;
        }
        std::printf("%s: %.2f s of CPU per hour of audio, ffmpeg %.2f s\n", codec.c_str(), ours, reference);
        norvo::bench::printFigure("radio-decode-vs-ffmpeg-" + codec, ours / reference);
        worst = std::max(worst, ours / reference);
    }
    if (status == 0) norvo::bench::printFigure("radio-decode-vs-ffmpeg", worst);

    const auto pull = measured.find("BM_RenderPull/iterations:20/manual_time");
    if (pull == measured.end()) return 1;
    norvo::bench::printFigure("radio-pull-ns", pull->second * 1e9);
    return status;
}
