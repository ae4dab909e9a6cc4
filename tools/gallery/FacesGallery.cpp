// The NV-1 deck face and the DA-2 player face in their states, on a headless studio.
#include "Gallery.hpp"
#include "GalleryStudio.hpp"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <deque>

#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <chrono>

#include "AudioEngine/TapeClock.hpp"
#include "NorvoStudio/Support/ManualAnimationDriver.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Rack/CassetteDeckView.hpp"
#include "Rack/EnginePlayer.hpp"
#include "Rack/ModelDeck.hpp"
#include "Rack/PlayerProgramList.hpp"
#include "Rack/SourcePlayerView.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/FakeClock.hpp"

using namespace norvo;

namespace {

// A headless studio whose deck can be shown in any transport state.
struct Studio : gallery::GalleryStudio {
    using GalleryStudio::GalleryStudio;
    // Shows a transport state on the deck as the live deck would after a tick.
    void showTransport(TransportMode mode, int64_t head, double windSpeed = 0, float level = 0) {
        CoreSnapshot snapshot = model->live().snapshot();
        snapshot.transport.mode = mode;
        snapshot.transport.head = head;
        snapshot.transport.windSpeed = windSpeed;
        snapshot.deckLevel = StereoLevel{level, level * 0.7f};
        model->live().update(snapshot, 1.0 / 60.0);
        model->live().update(snapshot, 1.0 / 60.0);
    }
};

// A drag of files hovering at `at` over `target` (as the desktop delivers it) for as long as
// the hover lives.
class Hover {
public:
    Hover(QWidget& target, QPoint at) : target_(target) {
        data_.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/Mixtape.norvo"))});
        QDragEnterEvent enter(at, Qt::CopyAction, &data_, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&target_, &enter);
    }
    ~Hover() {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(&target_, &leave);
    }

private:
    QWidget& target_;
    QMimeData data_;
};

// Lets the keys finish sinking into their latched state, then takes the picture.
void picture(gallery::Gallery& g, const QString& name, QWidget& face) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 120) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    g.widget(name, face);
}

// The sound device gone: the deck says so with what its transport does, the shortest status
// and the longest.
void deckWithoutSound(gallery::Gallery& g) {
    Studio studio(Studio::Sound::lost);
    studio.model->start();
    studio.model->cassetteSlot().newCassette(CassetteType::c60());
    studio.runBackground();
    studio.output->renderFrames(735);
    studio.model->tick();
    const test::FakeClock clock{Date{} + std::chrono::seconds(1'700'000'000)};
    ModelDeck deck(*studio.model, clock);
    CassetteDeckView face(deck);
    picture(g, "deck-no-sound-stopped-start", face);

    studio.model->setDeckInput(DeckInput::tuner);
    studio.model->transport(TransportCommand::record);
    studio.output->renderFrames(735);
    studio.model->tick();
    face.refresh();
    picture(g, "deck-no-sound-armed-tuner", face);
}

void deck(gallery::Gallery& g) {
    const auto frames = [](double seconds) { return TapeClock::frames(seconds); };
    {
        Studio studio;
        EnginePlayer player(*studio.model);
        ModelDeck deck(*studio.model, SystemClock::shared());
        CassetteDeckView face(deck);
        picture(g, "deck-empty", face);
        const Hover hover(face, face.partRect(CassetteDeckView::Part::well).center().toPoint());
        picture(g, "deck-drop-hover", face);
    }
    {
        // A cassette on its way out and the next on its way in, each three quarters faded in.
        Studio studio;
        studio.model->cassetteSlot().newCassette(CassetteType::c60());
        studio.runBackground();
        EnginePlayer player(*studio.model);
        ModelDeck deck(*studio.model, SystemClock::shared());
        CassetteDeckView face(deck);
        face.setAttribute(Qt::WA_DontShowOnScreen);
        face.show();
        test::ManualAnimationDriver animations;
        studio.model->cassetteSlot().eject();
        animations.pass(50);
        g.widget("deck-cassette-going", face);
        animations.pass(400);
        studio.model->cassetteSlot().newCassette(CassetteType::standard().back());
        studio.runBackground();
        face.refresh();  // the tick that shows the new cassette in the transport
        animations.pass(120);
        g.widget("deck-cassette-coming", face);
        animations.pass(400);
    }
    Studio studio;
    studio.model->cassetteSlot().newCassette(CassetteType::c60());
    studio.runBackground();
    // The wall clock at one moment: the armed REC lamp's lit half-second.
    const test::FakeClock clock{Date{} + std::chrono::seconds(1'700'000'000)};
    ModelDeck deck(*studio.model, clock);
    CassetteDeckView face(deck);
    picture(g, "deck-stopped-start", face);

    studio.model->cassetteSlot().media()->noteWritten(TapeSide::a, frames(11 * 60));
    studio.showTransport(TransportMode::playing, frames(7 * 60 + 12), 0, 0.4f);
    face.refresh();
    picture(g, "deck-playing", face);

    studio.showTransport(TransportMode::recordArmed, frames(11 * 60));
    face.refresh();
    picture(g, "deck-armed", face);

    studio.model->setDeckInput(DeckInput::tuner);
    studio.showTransport(TransportMode::recording, frames(14 * 60 + 3), 0, 0.95f);
    face.refresh();
    picture(g, "deck-recording-tuner", face);
    studio.model->setDeckInput(DeckInput::sourcePlayer);

    studio.showTransport(TransportMode::fastForward, frames(21 * 60), 8.4);
    face.refresh();
    picture(g, "deck-fast-forward", face);

    studio.showTransport(TransportMode::rewinding, frames(3 * 60), 32);
    face.refresh();
    picture(g, "deck-rewinding", face);

    studio.showTransport(TransportMode::stopped, frames(30 * 60));
    face.refresh();
    picture(g, "deck-end-of-side", face);

    // Write protection: side A broken off, then side B (after a flip) taped over.
    studio.showTransport(TransportMode::stopped, frames(5 * 60));
    studio.model->editor().advanceWriteProtect(TapeSide::a);
    face.refresh();
    picture(g, "deck-tab-broken", face);
    studio.model->editor().advanceWriteProtect(TapeSide::a);
    face.refresh();
    picture(g, "deck-tab-taped-over", face);

    // Busy: a cassette being opened, its reading still queued.
    studio.model->cassetteSlot().save(studio.file("Mixtape.norvo"));
    studio.runBackground();
    studio.settle([&] { return !studio.model->cassetteSlot().busy().has_value(); });
    studio.model->cassetteSlot().openCassette(studio.file("Mixtape.norvo"));
    face.refresh();
    picture(g, "deck-busy", face);
    studio.background.clear();
    deckWithoutSound(g);
}

void player(gallery::Gallery& g) {
    Studio studio;
    EnginePlayer player(*studio.model);
    SourcePlayerView face(player);
    face.resize(SourcePlayerView::designWidth, 612);
    picture(g, "player-empty", face);
    {
        QWidget* list = face.programList()->viewport();
        const Hover hover(*list, list->rect().center());
        picture(g, "player-drop-hover", face);
    }

    std::vector<std::filesystem::path> songs;
    for (const char* name : {"Morning Tide", "Cassette Dreams (Extended Mix)", "Rooftops", "Late Bus Home"}) {
        songs.push_back(studio.file(QString::fromUtf8(name) + ".wav"));
        gallery::writeWav(songs.back(), 3);
    }
    SourcePlayerEngine& source = studio.model->source();
    source.add(songs);
    studio.settle([&] {
        return std::all_of(source.tracks().begin(), source.tracks().end(),
                           [](const SourceTrack& t) { return t.durationFrames.has_value(); });
    });
    face.refresh();
    picture(g, "player-stopped", face);

    source.play(source.tracks()[1].id);
    studio.settle([&] {
        return source.state() == SourcePlayerEngine::State::playing &&
               studio.model->core().inputs().sourceStream != nullptr;
    });
    CoreSnapshot snapshot = studio.model->core().snapshot(AudioCore::Peaks::keep);
    snapshot.sourcePosition = static_cast<int64_t>(1.6 * 44100);
    snapshot.sourceLevel = StereoLevel{0.5f, 0.35f};
    source.poll(snapshot);
    studio.model->live().update(snapshot, 1.0 / 60.0);
    face.refresh();
    picture(g, "player-playing", face);

    source.togglePlayPause();
    snapshot.sourceLevel = StereoLevel{};
    studio.model->live().update(snapshot, 1.0);
    face.refresh();
    picture(g, "player-paused", face);

    // A track whose file went away.
    const auto gone = studio.file("Vanished Song.mp3");
    gallery::writeWav(gone, 1);
    source.add({gone});
    std::filesystem::remove(gone);
    source.play(source.tracks().back().id);
    studio.settle([&] { return source.lastError().has_value(); });
    face.refresh();
    picture(g, "player-error", face);

    std::vector<std::filesystem::path> many;
    for (int i = 0; i < 120; ++i) {
        many.push_back(studio.file(QStringLiteral("Track %1 of a long program.wav").arg(i + 1, 3, 10, QChar('0'))));
        gallery::writeWav(many.back(), 0.2);
    }
    source.add(many);
    studio.settle([&] { return source.tracks().back().durationFrames.has_value(); });
    face.refresh();
    picture(g, "player-long-list", face);
}

static gallery::Registrar deckArea("deck", &deck);
static gallery::Registrar playerArea("player", &player);

}  // namespace
