// The studio's cost on a desktop: one full repaint of the whole window, and the CPU the
// running application takes when idle and while recording, with the real engines and an
// output rendering at the device's pace on its own thread.
//
// Diagnostics (the figures are not printed then):
//   NORVO_COUNT_PAINTS=1 | recording   paint events, painted area and own paint time per widget
//                                      over one idle second, or one second of recording from the
//                                      player (NORVO_COUNT_SECONDS=n for longer, e.g. under perf);
//                                      also the rack's and the devices' heights
//   NORVO_PAINT_PROFILE=n              ms per full repaint spent in each class's own paint event
//   NORVO_PLAIN_RACK=1                 the rack without the window's scaling view, at 1232 × 960
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "AudioEngine/OfflineAudioOutput.hpp"
#include "Kit/FLMeterBar.hpp"
#include "Kit/HardwareKey.hpp"
#include "Kit/Knob.hpp"
#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/SilentStudioUi.hpp"
#include "NorvoStudioApp/StudioView.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Rack/CassetteDeckView.hpp"
#include "Rack/CassetteShelf.hpp"
#include "Rack/LineCables.hpp"
#include "Rack/SourcePlayerView.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "Tuner/PresetKey.hpp"
#include "Tuner/TunerDisplay.hpp"
#include "Tuner/TunerView.hpp"
#include "Tuner/TuningKnob.hpp"
#include "support/Figure.hpp"
#include "support/MeasuredRuns.hpp"

namespace {

using namespace norvo;

using NoDesktop = test::SilentStudioUi;

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
        // The tuner face follows the wall clock, as in the application.
        faces = std::make_unique<test::RackFaceServices>(*model, executor, SystemClock::shared());
        if (qEnvironmentVariableIsSet("NORVO_PLAIN_RACK")) {
            plain = std::make_unique<RackContent>(*model, faces->faces());
            plain->resize(1232, 960);
            plain->show();
            model->start();
        } else {
            view = std::make_unique<StudioView>(*model, faces->faces());
            view->resize(1232, 920);
            view->show();  // starts the model: tick and output
        }
        run(0.5);
    }
    ~Studio() {
        view.reset();
        plain.reset();
        faces.reset();
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
        model->cassetteSlot().createBlankCassette(CassetteType::c60());
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
    std::unique_ptr<test::RackFaceServices> faces;
    std::unique_ptr<StudioView> view;
    std::unique_ptr<RackContent> plain;
};

Studio* studio = nullptr;

void BM_RackRepaint(benchmark::State& state) {
    QImage image(QSize(1232, 920), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        if (studio->view) studio->view->render(&image);
        else studio->plain->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Where a full repaint goes: each device (with its keys and knobs) on its own, and the
// rack's wood without the devices.
QWidget* device(int index) {
    RackContent* rack = studio->view ? studio->view->rack() : studio->plain.get();
    switch (index) {
    case 0: return rack;
    case 1: return rack->player();
    case 2: return rack->deck();
    case 3: return rack->tuner();
    case 4: return rack->shelf();
    default: return rack->cables();
    }
}

void BM_DeviceRepaint(benchmark::State& state) {
    QWidget* widget = device(int(state.range(0)));
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    const auto flags = state.range(0) == 0 ? QWidget::RenderFlags(QWidget::DrawWindowBackground)
                                           : QWidget::RenderFlags(QWidget::DrawChildren);
    for (auto _ : state) {
        widget->render(&image, QPoint(), QRegion(), flags);
        benchmark::DoNotOptimize(image.constBits());
    }
    static const char* names[] = {"wood", "player", "deck", "tuner", "shelf", "cables"};
    state.SetLabel(names[state.range(0)]);
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
BENCHMARK(BM_DeviceRepaint)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

// Paint events per widget: how many, the area they covered (in the widget's own points) and
// the time spent in the widget's own paint event (nested paints excluded).
class PaintTally : public QObject {
public:
    struct Tally {
        int events = 0;
        double area = 0;
        double seconds = 0;
        int tallest = 0;  // rows of the tallest dirty rectangle (Qt threads fills of 96 rows and more)
    };
    std::map<QString, Tally> byWidget;
    std::map<QString, double> secondsByClass;

    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint || e == resending_) return false;
        nested_.push_back(0);
        QElapsedTimer timer;
        timer.start();
        QEvent* outer = resending_;
        resending_ = e;
        QCoreApplication::sendEvent(o, e);  // through the object's own filters
        resending_ = outer;
        const double elapsed = double(timer.nsecsElapsed()) * 1e-9;
        const double own = elapsed - nested_.back();
        nested_.pop_back();
        if (!nested_.empty()) nested_.back() += elapsed;
        Tally& tally = byWidget[QString(o->metaObject()->className()) + "/" + o->objectName()];
        ++tally.events;
        tally.seconds += own;
        for (const QRect& r : static_cast<QPaintEvent*>(e)->region()) {
            tally.area += double(r.width()) * r.height();
            tally.tallest = std::max(tally.tallest, r.height());
        }
        // Plain QWidgets (cables, rims, viewports) are told apart by their parent.
        QString name = o->metaObject()->className();
        if (name == QLatin1String("QWidget") && o->parent())
            name += QStringLiteral(" in ") + o->parent()->metaObject()->className();
        secondsByClass[name] += own;
        return true;
    }

private:
    std::vector<double> nested_;
    QEvent* resending_ = nullptr;
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Studio running;
    studio = &running;
    if (const int n = qEnvironmentVariableIntValue("NORVO_PAINT_PROFILE"); n > 0) {
        QImage image(QSize(1232, 920), QImage::Format_ARGB32_Premultiplied);
        PaintTally timer;
        app.installEventFilter(&timer);
        QElapsedTimer total;
        total.start();
        for (int i = 0; i < n; ++i) {
            if (running.view) running.view->render(&image);
            else running.plain->render(&image);
        }
        const double all = double(total.nsecsElapsed()) * 1e-9;
        app.removeEventFilter(&timer);
        std::vector<std::pair<double, QString>> sorted;
        for (auto& [k, v] : timer.secondsByClass) sorted.emplace_back(v, k);
        std::sort(sorted.rbegin(), sorted.rend());
        std::printf("%8.3f ms per repaint in all\n", all * 1e3 / n);
        for (auto& [v, k] : sorted) std::printf("%8.3f ms  %s\n", v * 1e3 / n, qPrintable(k));
        return 0;
    }
    if (qEnvironmentVariableIsSet("NORVO_COUNT_PAINTS")) {
        if (qgetenv("NORVO_COUNT_PAINTS") == "recording") {
            running.startRecording();
            if (running.model->live().snapshot().transport.mode != TransportMode::recording) {
                std::printf("not recording\n");
                return 1;
            }
        }
        PaintTally counter;
        app.installEventFilter(&counter);
        Studio::run(std::max(1, qEnvironmentVariableIntValue("NORVO_COUNT_SECONDS")));
        app.removeEventFilter(&counter);
        if (RackContent* rack = running.view ? running.view->rack() : running.plain.get())
            std::printf("rack %dx%d: deck %d, tuner %d, player min %d, shelf %d; scale %.3f\n",
                        rack->rackSize().width(), rack->rackSize().height(), rack->deck()->height(),
                        rack->tuner()->height(), rack->player()->minimumSizeHint().height(), rack->shelf()->height(),
                        running.view ? running.view->scale() : 1.0);
        if (RackContent* rack = running.view ? running.view->rack() : running.plain.get()) {
            TunerView* t = rack->tuner();
            std::printf("tuner: display %d, preset %.1f, tuning %.1f, volume %.1f, meter bar %.1f\n",
                        t->display()->sizeHint().height(), PresetKey::layoutSize().height(),
                        t->tuningKnob()->layoutSize().height(), Knob::layoutSize("VOLUME", 40).height(),
                        FLMeterBar::height());
        }
        if (RackContent* rack = running.view ? running.view->rack() : running.plain.get()) {
            CassetteDeckView* d = rack->deck();
            auto show = [](const char* name, QRectF r) {
                std::printf("  %s y %.1f..%.1f (h %.1f)\n", name, r.top(), r.bottom(), r.height());
            };
            std::printf("deck:\n");
            show("well", d->partRect(CassetteDeckView::Part::well));
            show("display", d->partRect(CassetteDeckView::Part::display));
            show("tapeMap", d->partRect(CassetteDeckView::Part::tapeMap));
            show("tapeSoundKey", d->partRect(CassetteDeckView::Part::tapeSoundKey));
            show("playKey", QRectF(d->playKey()->geometry()));
            show("recordLevelKnob", QRectF(d->recordLevelKnob()->geometry()));
        }
        std::printf("paints    painted px   own ms  tallest  widget\n");
        for (auto& [k, v] : counter.byWidget)
            std::printf("%6d %12.0f %8.2f %8d  %s\n", v.events, v.area, v.seconds * 1e3, v.tallest, qPrintable(k));
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
