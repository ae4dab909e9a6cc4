// The studio's cost on a desktop: one full repaint of the whole window, and the CPU the
// running application takes when idle and while recording, with the real engines and an
// output rendering at the device's pace on its own thread.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>
#include <map>
#include <cstdio>

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "AudioEngine/OfflineAudioOutput.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Rack/StudioView.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;

class NoDesktop final : public StudioUi {
public:
    SaveChoice askToSaveChanges(const QString&, const QString&) override { return SaveChoice::cancel; }
    std::vector<std::filesystem::path> runOpenPanel(const FilePanel&) override { return {}; }
    std::optional<std::filesystem::path> runSavePanel(const FilePanel&) override { return std::nullopt; }
    void beep() override {}
    void noteRecentDocument(const std::filesystem::path&) override {}
    QImage renderThumbnail(const CassetteDocument&, const ArtworkImages&) override { return {}; }
};

// An output that renders 512 frames every 11.6 ms on its own thread, as a device does.
class PacedOutput final : public AudioOutput {
public:
    explicit PacedOutput(AudioCore& core) : offline_(core) {}
    ~PacedOutput() override { stop(); }
    void start() override {
        if (running_) return;
        offline_.start();
        running_ = true;
        thread_ = std::thread([this] {
            auto next = std::chrono::steady_clock::now();
            while (running_.load()) {
                offline_.renderFrames(512);
                next += std::chrono::microseconds(11610);
                std::this_thread::sleep_until(next);
            }
        });
    }
    void stop() override {
        if (!running_) return;
        running_ = false;
        thread_.join();
        offline_.stop();
    }
    bool isRunning() const override { return running_; }

private:
    OfflineAudioOutput offline_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

struct Studio {
    Studio() {
        test::generateTone(directory / "song.wav", 120, 440, 660);
        StudioServices services = standard.services(executor, defaults, ui);
        services.workspacesRoot = directory / "Workspaces";
        services.makeOutput = [](AudioCore& core) -> std::unique_ptr<AudioOutput> {
            return std::make_unique<PacedOutput>(core);
        };
        model = std::make_unique<StudioModel>(services);
        if (qEnvironmentVariableIsSet("NORVO_PLAIN_RACK")) {
            plain = std::make_unique<RackContent>(*model);
            plain->resize(1232, 960);
            plain->show();
            model->start();
        } else {
        view = std::make_unique<StudioView>(*model);
        view->resize(1232, 920);
        view->show();  // starts the model: tick and output
        }
        run(0.5);
    }
    ~Studio() {
        view.reset();
        plain.reset();
        model->shutdown();
        model.reset();
    }
    // Lets the application run its event loop for a while.
    static void run(double seconds) {
        QEventLoop loop;
        QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    }
    // Percent of one core the whole process used over `seconds` of running.
    static double cpuPercent(double seconds) {
        auto cpu = [] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        };
        QElapsedTimer wall;
        const double before = cpu();
        wall.start();
        run(seconds);
        return 100.0 * (cpu() - before) / (double(wall.nsecsElapsed()) * 1e-9);
    }
    void startRecording() {
        model->createBlankCassette(CassetteType::c60());
        model->source().add({directory / "song.wav"});
        run(0.5);  // the duration probe
        model->source().togglePlayPause();
        run(0.3);
        model->transport(TransportCommand::record);
        run(0.5);
    }

    test::TemporaryDirectory directory;
    QtMainExecutor executor;
    InMemoryDefaultsStore defaults;
    StandardStudioServices standard;
    NoDesktop ui;
    std::unique_ptr<StudioModel> model;
    std::unique_ptr<StudioView> view;
    std::unique_ptr<RackContent> plain;
};

Studio* studio = nullptr;

void BM_RackRepaint(benchmark::State& state) {
    QImage image(QSize(1232, 920), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        studio->view->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The reference: filling and blitting one window-sized image, what any repaint costs.
void BM_WindowBlit(benchmark::State& state) {
    QImage image(QSize(1232, 920), QImage::Format_ARGB32_Premultiplied);
    QImage source(QSize(1232, 920), QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::darkRed);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.drawImage(0, 0, source);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK(BM_RackRepaint)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WindowBlit)->Unit(benchmark::kMillisecond);

}  // namespace

class PaintCounter : public QObject {
public:
    std::map<QString, int> counts;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++counts[QString(o->metaObject()->className()) + "/" + o->objectName()];
        return false;
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Studio running;
    studio = &running;
    if (qEnvironmentVariableIsSet("NORVO_COUNT_PAINTS")) {
        PaintCounter counter;
        app.installEventFilter(&counter);
        Studio::run(1.0);
        for (auto& [k, v] : counter.counts) std::printf("%5d %s\n", v, qPrintable(k));
        return 0;
    }
    const auto seconds = bench::runMeasured(argc, argv);
    const auto paint = seconds.find("BM_RackRepaint/min_time:1.000");
    const auto blit = seconds.find("BM_WindowBlit");
    if (paint == seconds.end() || blit == seconds.end()) return 1;
    bench::printFigure("rack-paint-ms", paint->second * 1e3);
    bench::printFigure("rack-paint-vs-blit", paint->second / blit->second);

    bench::printFigure("studio-idle-cpu-pct", Studio::cpuPercent(10));
    running.startRecording();
    const bool recording = running.model->live().snapshot().transport.mode == TransportMode::recording;
    const double recordingCpu = Studio::cpuPercent(10);
    if (!recording) return 1;
    bench::printFigure("studio-recording-cpu-pct", recordingCpu);
    studio = nullptr;
    return 0;
}
