// What receiving a station costs: the receiver's CPU time for one hour of a 128 kbit/s
// stream with a title block every 16000 bytes, next to curl fetching the same bytes
// from the same loopback server. Decoding is left out (a sink takes the audio), so the
// figure is the cost of HTTP, ICY demuxing and title handling.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <ctime>
#include <memory>
#include <string>

#include "Platform/HttpLoop.hpp"
#include "Radio/RadioStream.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

extern char** environ;

namespace {

using norvo::RadioStream;
using norvo::test::LoopbackHttpServer;

constexpr std::size_t bytesPerSecond = 128000 / 8;
constexpr std::size_t metaInterval = 16000;
constexpr std::size_t hourOfAudio = bytesPerSecond * 3600;

struct Station {
    LoopbackHttpServer server{1000, 3600};
    std::string wire;
    std::size_t audioBytes = 0;

    Station() {
        std::string audio(hourOfAudio, '\0');
        uint32_t state = 12345;
        for (char& byte : audio) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<char>(state >> 24);
        }
        std::vector<std::string> titles;
        for (std::size_t block = 0; block < hourOfAudio / metaInterval; ++block)
            titles.push_back("StreamTitle='Artist " + std::to_string(block / 200) + " - Song " + std::to_string(block) +
                             "';StreamUrl='';");
        wire = LoopbackHttpServer::icyInterleave(audio, metaInterval, titles);
        audioBytes = audio.size();

        LoopbackHttpServer::Script script;
        script.statusLine = "HTTP/1.0 200 OK";  // what the curl command line accepts
        script.headers = {{"Content-Type", "audio/mpeg"},
                          {"icy-metaint", std::to_string(metaInterval)},
                          {"icy-name", "Loopback FM"},
                          {"icy-br", "128"}};
        script.producer = [this](std::size_t piece) {
            constexpr std::size_t pieceBytes = 64 * 1024;
            const std::size_t offset = piece * pieceBytes;
            return offset < wire.size() ? wire.substr(offset, pieceBytes) : std::string();
        };
        server.route("/live", script);
    }
};

Station& station() {
    static Station instance;
    return instance;
}

// Takes the audio bytes as a decoder would, and only counts them.
class CountingSink final : public RadioStream::Decoder {
public:
    explicit CountingSink(std::size_t& count) : count_(count) {}
    void feed(const uint8_t*, std::size_t count) override { count_ += count; }

private:
    std::size_t& count_;
};

double threadCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_Receiver(benchmark::State& state) {
    Station& radio = station();
    auto loop = std::make_shared<norvo::HttpLoop>(RadioStream::queueLabel);
    for (auto _ : state) {
        std::size_t received = 0;
        RadioStream::Options options;
        options.loop = loop;
        options.decoderFactory = [&received](norvo::RadioStreamDecoder::Hint, norvo::RadioStreamDecoder::Client&) {
            return std::make_unique<CountingSink>(received);
        };
        RadioStream stream(radio.server.url("/live"), "NorvoStudio/1.2 (+bench)", 2.0, options);
        double start = 0, end = 0;
        loop->dispatchSync([&] { start = threadCPUSeconds(); });
        stream.start();
        const bool ended = loop->waitUntil(
            [&] { return stream.currentStatus().network.state == RadioStream::Status::Network::State::reconnecting; },
            120);
        loop->dispatchSync([&] { end = threadCPUSeconds(); });
        if (!ended || received != radio.audioBytes) {
            state.SkipWithError("the receiver did not get the whole stream");
            break;
        }
        if (stream.currentStatus().titleSerial == 0) {
            state.SkipWithError("no title was read");
            break;
        }
        state.SetIterationTime(end - start);
    }
}

void BM_Curl(benchmark::State& state) {
    Station& radio = station();
    const std::string url = radio.server.url("/live");
    for (auto _ : state) {
        const char* arguments[] = {"curl", "-s", url.c_str(), "-o", "/dev/null", nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, "curl", nullptr, nullptr, const_cast<char**>(arguments), environ) != 0) {
            state.SkipWithError("curl could not be started");
            break;
        }
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
        auto seconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
        };
        state.SetIterationTime(seconds(usage.ru_utime) + seconds(usage.ru_stime));
    }
}

BENCHMARK(BM_Receiver)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Curl)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    station();  // build the hour of audio before anything is timed
    const auto seconds = norvo::bench::runMeasured(argc, argv);
    const auto receiver = seconds.find("BM_Receiver/iterations:5/manual_time");
    const auto curl = seconds.find("BM_Curl/iterations:5/manual_time");
    if (receiver == seconds.end() || curl == seconds.end() || curl->second <= 0) return 1;
    // CPU seconds for an hour of the stream, ours over curl's: 1 means no dearer than curl.
    norvo::bench::printFigure("receiver-vs-curl", receiver->second / curl->second);
    return 0;
}
