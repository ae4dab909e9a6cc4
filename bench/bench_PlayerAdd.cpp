// The longest time the main thread is held while 5000 files are handed to the studio at
// once (as a file manager's "open with" does) and their lengths are measured, with the
// player's face and its PROGRAM list on screen. A 2 ms timer on the main thread notes
// every gap between its firings; the figure is the longest gap beyond that interval.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "AudioEngine/OfflineAudioOutput.hpp"
#include "NorvoStudio/Support/SilentStudioUi.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Rack/EnginePlayer.hpp"
#include "Rack/SourcePlayerView.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/AudioFixtures.hpp"
#include "Support/TemporaryDirectory.hpp"
#include "support/Figure.hpp"

namespace {

using namespace norvo;

constexpr int fileCount = 5000;
constexpr int watchInterval = 2;  // ms
constexpr double patience = 180;  // s until the measuring counts as stuck

// Short files of the usual kinds, each linked under many names, so that 5000 distinct
// files cost no disk space.
std::vector<std::filesystem::path> makeFiles(const std::filesystem::path& directory) {
    const std::vector<std::filesystem::path> originals{directory / "one.wav", directory / "one.mp3",
                                                       directory / "one.flac", directory / "one.m4a"};
    for (std::size_t i = 0; i < originals.size(); ++i) test::generateTone(originals[i], 2, 330 + 110 * double(i), 550);
    std::vector<std::filesystem::path> files;
    files.reserve(fileCount);
    for (int i = 0; i < fileCount; ++i) {
        const auto& original = originals[std::size_t(i) % originals.size()];
        char name[64];
        std::snprintf(name, sizeof name, "Track %04d", i + 1);
        const auto file = directory / (name + original.extension().string());
        std::error_code error;
        std::filesystem::create_hard_link(original, file, error);
        if (error) std::filesystem::copy_file(original, file);
        files.push_back(file);
    }
    return files;
}

bool allMeasured(const SourcePlayerEngine& player) {
    const auto& tracks = player.tracks();
    return tracks.size() >= std::size_t(fileCount) &&
           std::all_of(tracks.begin(), tracks.end(), [](const SourceTrack& t) { return t.durationFrames.has_value(); });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    test::TemporaryDirectory directory;
    const auto files = makeFiles(directory.path());

    QtMainExecutor executor;
    InMemoryDefaultsStore defaults;
    StandardStudioServices standard;
    test::SilentStudioUi ui;
    StudioServices services = standard.services(executor, defaults, ui);
    services.workspacesRoot = directory / "Workspaces";
    services.makeOutput = [](AudioCore& core) -> std::unique_ptr<AudioOutput> {
        return std::make_unique<OfflineAudioOutput>(core);
    };
    StudioModel model(services);
    EnginePlayer player(model);
    SourcePlayerView face(player);
    face.resize(SourcePlayerView::designWidth, 900);
    face.show();
    model.start();

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double longest = 0;
    double handedOver = -1;
    double measured = -1;
    QEventLoop loop;

    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(watchInterval);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) * 1e-6 - watchInterval);
        last = now;
        if (handedOver >= 0 && measured < 0 && allMeasured(model.source())) {
            measured = double(now) * 1e-9;
            // A little longer, so the last lengths are drawn too.
            QTimer::singleShot(200, &loop, &QEventLoop::quit);
        }
        if (double(now) * 1e-9 > patience) loop.quit();
    });

    // Settle first: the face's first paint is not part of adding.
    QTimer::singleShot(500, &loop, [&] {
        longest = 0;
        last = clock.nsecsElapsed();
        model.openDocuments(files);
        handedOver = double(clock.nsecsElapsed()) * 1e-9;
    });
    watch.start();
    loop.exec();
    watch.stop();

    if (measured < 0) {
        std::fprintf(stderr, "the lengths of %d files were not all measured within %.0f s\n", fileCount, patience);
        return 1;
    }
    std::printf("%zu tracks listed; lengths measured %.2f s after the hand-over\n", model.source().tracks().size(),
                measured - handedOver);
    bench::printFigure("player-add-5000-stall-ms", longest);
    model.shutdown();
    return 0;
}
