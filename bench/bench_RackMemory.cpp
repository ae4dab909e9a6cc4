// The memory the rack's pictures hold after ten minutes of recording: the real window,
// offscreen, with the deck recording the player while the tuner plays a station, driven by
// a fake clock at the studio's tick rate. Every counter value, time, title and meter level
// of those ten minutes is painted through the window's own partial repaints; the figure is
// what the pixmap caches hold at the end. A flat figure means changing readouts are not kept.
//
//   NORVO_RECORD_SECONDS=n   record n seconds instead of 600 (the figure is printed then too)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#define Q_TEST_QPIXMAPCACHE  // for QPixmapCache::totalUsed()
#include <QApplication>
#include <QPixmapCache>

#include "AudioEngine/DecodedSourceStreamFactory.hpp"
#include "AudioEngine/OfflineAudioOutput.hpp"
#include "Kit/RecentPictures.hpp"
#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/ScriptedTunerStreams.hpp"
#include "NorvoStudio/Support/SilentStudioUi.hpp"
#include "NorvoStudioApp/StudioView.hpp"
#include "Platform/Clock.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/ManualExecutor.hpp"
#include "Rack/CassetteDeckView.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/FakeClock.hpp"
#include "Support/FakeTunerDirectory.hpp"
#include "Support/PlayerDecoderWait.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"

namespace {

using namespace norvo;

constexpr int sampleRate = 44100;
constexpr double tick = 1.0 / 60.0;

// A tone whose level swells from silence to full scale and back every seven seconds, so
// the meters pass through all their segments.
void writeSwellingTone(const std::filesystem::path& file, double seconds, double frequency) {
    const std::string swell = "(0.5-0.5*cos(2*PI*t/7))";
    const std::string tone = "0.9765625*" + swell + "*" + swell + "*sin(2*PI*" + std::to_string(frequency) + "*t)";
    test::generateSignal(file, {tone, tone}, seconds, sampleRate);
}

struct RecordingStudio {
    RecordingStudio() {
        StudioServices services{executor, defaults, sourceStreams, tunerDirectory, tunerStreams, ui, {}, {}, {}};
        services.workspacesRoot = directory / "Workspaces";
        services.makeOutput = [this](AudioCore& core) -> std::unique_ptr<AudioOutput> {
            auto made = std::make_unique<OfflineAudioOutput>(core);
            output = made.get();
            return made;
        };
        services.clock = &clock;
        services.locale = Locale("en_US");
        model = std::make_unique<StudioModel>(services);
        faces = std::make_unique<test::RackFaceServices>(*model, executor, clock);
        view = std::make_unique<StudioView>(*model, faces->faces());
        view->resize(1232, 920);
        view->show();  // starts the model
        settle();
    }
    ~RecordingStudio() {
        view.reset();
        faces.reset();
        model->shutdown();
        model.reset();
        executor.runPending();
    }

    // A program of tracks with titles short and long, enough of them for `seconds` of play.
    bool loadProgram(const std::vector<std::string>& titles, int seconds) {
        const double trackSeconds = std::ceil(double(seconds) / double(titles.size())) + 5;
        std::vector<std::filesystem::path> files;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            files.push_back(directory / (titles[i] + ".wav"));
            writeSwellingTone(files.back(), trackSeconds, 330 + 55 * double(i));
        }
        model->source().add(files);
        // The durations are measured on worker threads.
        for (int i = 0; i < 1000 && model->source().tracks().size() < files.size(); ++i) {
            executor.runPending();
            settle();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return model->source().tracks().size() == files.size();
    }
    // The tuner on a station that announces `title`.
    std::shared_ptr<test::ScriptedTunerStream> tune(const std::string& title) {
        RadioStation station;
        station.id = "bench";
        station.name = "Bench FM";
        station.streamURL = *Url::parse("http://127.0.0.1:9/live");
        station.codec = "MP3";
        station.tags = {"jazz", "lounge"};
        model->tuner().tune(station);
        auto stream = tunerStreams.last();
        if (stream) stream->play(title);
        return stream;
    }
    // A blank C60 recording the player from its first track.
    bool startRecording() {
        model->cassetteSlot().createBlankCassette(CassetteType::c60());
        model->setDeckInput(DeckInput::sourcePlayer);
        model->source().togglePlayPause();
        for (int i = 0; i < 1000 && model->source().state() != SourcePlayerEngine::State::playing; ++i) {
            step();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Armed, the deck starts with the player's signal.
        model->transport(TransportCommand::record);
        for (int i = 0; i < 600 && !recording(); ++i) {
            render(sampleRate / 60);
            step();
        }
        return recording();
    }
    bool recording() const { return model->live().snapshot().transport.mode == TransportMode::recording; }

    // Renders `frames` as a device would, never faster than the player's decoder.
    void render(int frames) {
        test::waitForPlayerDecoder(model->core(), frames);
        output->renderFrames(frames);
    }
    // One studio frame: the tick, then the repaints it asked for.
    void step() {
        executor.runPending();
        executor.advance(tick);
        clock.advance(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(tick)));
        model->tick();
        settle();
    }
    static void settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    test::TemporaryDirectory directory;
    ManualExecutor executor;
    test::FakeClock clock{Date{} + std::chrono::seconds(1'700'000'000)};
    InMemoryDefaultsStore defaults;
    DecodedSourceStreamFactory sourceStreams;
    test::FakeTunerDirectory tunerDirectory;
    test::ScriptedTunerStreamFactory tunerStreams;
    test::SilentStudioUi ui;
    OfflineAudioOutput* output = nullptr;
    std::unique_ptr<StudioModel> model;
    std::unique_ptr<test::RackFaceServices> faces;
    std::unique_ptr<StudioView> view;
};

// What the pixmap caches hold: QPixmapCache counts whole megabytes, rounded up.
double cachedMegabytes() {
    return QPixmapCache::totalUsed() + double(RecentPictures::shared().bytes()) / (1024 * 1024);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds =
        qEnvironmentVariableIsSet("NORVO_RECORD_SECONDS") ? qEnvironmentVariableIntValue("NORVO_RECORD_SECONDS") : 600;

    RecordingStudio studio;
    const std::vector<std::string> titles{"Morning Drive",
                                          "A Very Long Title That Will Not Fit On The Player's Status Line At All",
                                          "Dub Station 7", "Nocturne in Blue and Amber", "Last Call"};
    // The station's titles change every two minutes; some are too long for the display and scroll.
    const std::vector<std::string> stationTitles{
        "The Quiet Hours with Sam Reyes", "Artist Name - Song Title (Extended Club Mix) [Remastered 2024]",
        "News at the top of the hour", "Cassette Club - Side A, Track 3", "Weather and traffic"};
    const auto stream = studio.tune(stationTitles[0]);
    if (!studio.loadProgram(titles, seconds) || !stream || !studio.startRecording()) {
        std::fprintf(stderr, "the studio did not start recording\n");
        return 1;
    }

    const int ticks = seconds * 60;
    const int titleTicks = 120 * 60;
    for (int i = 1; i <= ticks; ++i) {
        if (i % titleTicks == 0) stream->play(stationTitles[size_t(i / titleTicks) % stationTitles.size()]);
        studio.render(sampleRate / 60);
        studio.step();
        if (i % (60 * 60) == 0)
            std::fprintf(stderr, "%4d s: counter %s, caches %.2f MB\n", i / 60,
                         qPrintable(studio.view->rack()->deck()->counterText()), cachedMegabytes());
    }
    if (!studio.recording()) return 1;
    bench::printFigure("studio-picture-cache-mb", cachedMegabytes());
    return 0;
}
