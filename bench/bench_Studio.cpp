// One studio tick with the player playing a file and the tuner tuned to a station on a
// loopback server, next to the core snapshot that every tick takes anyway.
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "AudioEngine/OfflineAudioOutput.hpp"
#include "NorvoStudio/Support/SilentStudioUi.hpp"
#include "Platform/ManualExecutor.hpp"
#include "Radio/RadioTunerStreamFactory.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/FakeTunerDirectory.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;

using NoDesktop = test::SilentStudioUi;

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A running studio: a cassette playing in the deck, a file in the player, a station in
// the tuner, and a thread rendering the output at the device's pace.
struct BusyStudio {
    BusyStudio() {
        test::generateTone(directory / "song.wav", 120, 440, 660);
        test::generateTone(directory / "station.mp3", 20, 330, 550);
        const std::string mp3 = readAll(directory / "station.mp3");
        test::LoopbackHttpServer::Script live;
        live.headers = {{"Content-Type", "audio/mpeg"}};
        live.producer = [mp3](std::size_t piece) { return mp3.substr((piece * 4096) % mp3.size(), 4096); };
        live.pieceInterval = 0.02;  // about 200 kB/s: comfortably ahead of playback
        server.route("/live", live);

        StudioServices services{executor, defaults, sourceStreams, directoryClient, tunerStreams, ui, {}, {}, {}};
        services.workspacesRoot = directory / "Workspaces";
        services.makeOutput = [this](AudioCore& core) -> std::unique_ptr<AudioOutput> {
            auto made = std::make_unique<OfflineAudioOutput>(core);
            output = made.get();
            return made;
        };
        services.locale = Locale("en_US");
        model = std::make_unique<StudioModel>(services);
        model->start();
        model->cassetteSlot().createBlankCassette(CassetteType::c60());

        renderer = std::thread([this] {
            while (!done.load()) {
                output->renderFrames(512);
                std::this_thread::sleep_for(std::chrono::microseconds(11600));
            }
        });

        model->source().add({directory / "song.wav"});
        model->source().togglePlayPause();
        RadioStation station;
        station.id = "loopback";
        station.name = "Loopback FM";
        station.streamURL = *Url::parse(server.url("/live"));
        station.codec = "MP3";
        model->tuner().tune(station);
        model->transport(TransportCommand::play);

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            step();
            if (model->tuner().reception().kind == TunerEngine::Reception::Kind::tuned &&
                model->source().state() == SourcePlayerEngine::State::playing)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
    }
    ~BusyStudio() {
        done = true;
        renderer.join();
        model.reset();
        executor.runPending();
    }

    void step() {
        executor.advance(1.0 / 60);
        executor.runPending();
        model->tick();
    }

    test::TemporaryDirectory directory;
    test::LoopbackHttpServer server{16, 3600};
    InMemoryDefaultsStore defaults;
    ManualExecutor executor;
    DecodedSourceStreamFactory sourceStreams;
    test::FakeTunerDirectory directoryClient;
    RadioTunerStreamFactory tunerStreams;
    NoDesktop ui;
    OfflineAudioOutput* output = nullptr;
    std::unique_ptr<StudioModel> model;
    std::atomic<bool> done{false};
    std::thread renderer;
};

BusyStudio* studio = nullptr;

void BM_StudioTick(benchmark::State& state) {
    for (auto _ : state) studio->step();
    state.counters["tuned"] = studio->model->tuner().reception().kind == TunerEngine::Reception::Kind::tuned;
}

void BM_CoreSnapshot(benchmark::State& state) {
    for (auto _ : state) {
        CoreSnapshot snapshot = studio->model->core().snapshot(AudioCore::Peaks::reset);
        benchmark::DoNotOptimize(snapshot);
    }
}

BENCHMARK(BM_StudioTick);
BENCHMARK(BM_CoreSnapshot);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    BusyStudio running;
    studio = &running;
    const auto seconds = bench::runMeasured(argc, argv);
    studio = nullptr;
    auto tick = seconds.find("BM_StudioTick");
    auto snapshot = seconds.find("BM_CoreSnapshot");
    if (tick == seconds.end() || snapshot == seconds.end()) return 1;
    bench::printFigure("studio-tick-us", tick->second * 1e6);
    bench::printFigure("studio-tick-vs-snapshot", tick->second / snapshot->second);
    return 0;
}
