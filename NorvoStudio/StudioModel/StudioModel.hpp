#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUuid>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/AudioOutput.hpp"
#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/DeckInput.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "AudioEngine/TransportCommand.hpp"
#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/CassetteStyle.hpp"
#include "Cassette/FileData.hpp"
#include "Platform/Observable.hpp"
#include "Radio/TunerEngine.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "StudioModel/AlertSlot.hpp"
#include "StudioModel/CassetteRecovery.hpp"
#include "StudioModel/CassetteSlot.hpp"
#include "StudioModel/DocumentEditor.hpp"
#include "StudioModel/LiveDeck.hpp"
#include "StudioModel/RecordingLog.hpp"
#include "StudioModel/RecoveryCopy.hpp"
#include "StudioModel/RecoveryWriter.hpp"
#include "StudioModel/StudioServices.hpp"
#include "StudioModel/StudioUi.hpp"
#include "StudioModel/TapeSoundShelf.hpp"
#include "StudioModel/WindowTitle.hpp"

namespace norvo {

// The whole studio for the views and the shell: the audio core, the player, the tuner,
// the live deck, the tape sounds, the audio output once started and the cassette in the
// deck. One instance per run, made by the application and handed to the views. Main
// thread only. The cassette's concerns live in collaborators it owns (the slot, the
// document editor, the recording log, the recovery, the tape-sound shelf, the alert
// slot, the window title); callers reach them for their values and commands. The model
// keeps the engines, the tick, start and quit, the deck's settings and transport.
//
// Every published value has a getter and a change signal; views re-read on repaint.
// The model announces its collaborators' changes too, so that a view listens to one
// studio. Signals of engine observers (sourceChanged, tunerChanged) and of the live deck
// must only schedule repaints: never call back into an engine from them.
class StudioModel final : public QObject {
    Q_OBJECT
public:
    // Told whether the operation ran (a save: whether the file was written).
    using Completion = CassetteSlot::Completion;

    enum class QuitReply { cancel, now, later };

    static constexpr double tickInterval = 1.0 / 60.0;
    static constexpr double largestTimeStep = 0.1;

    explicit StudioModel(StudioServices services, QObject* parent = nullptr);
    ~StudioModel() override;

    // Engines, created by the constructor and never replaced.
    AudioCore& core() { return *core_; }
    SourcePlayerEngine& source() { return *source_; }
    TunerEngine& tuner() { return *tuner_; }
    LiveDeck& live() { return *live_; }
    const LiveDeck& live() const { return *live_; }
    AudioOutput* output() { return output_.get(); }
    StudioUi& ui() { return services_.ui; }
    // The user's settings, for the views' own (the window's size).
    DefaultsStore& defaults() { return services_.defaults; }

    // The collaborators, for what callers need of their part of the studio.
    CassetteSlot& cassetteSlot() { return *slot_; }
    const CassetteSlot& cassetteSlot() const { return *slot_; }
    DocumentEditor& editor() { return *editor_; }
    const DocumentEditor& editor() const { return *editor_; }
    TapeSoundShelf& tapeSounds() { return *shelf_; }
    AlertSlot& alerts() { return *alerts_; }
    const RecordingLog& recordingLog() const { return *log_; }
    const WindowTitle& title() const { return *title_; }

    // Published state.
    // Why nothing is heard, while the output goes on without the device it lost: said on the
    // deck, not in an alert that would take a click meant for the studio.
    const std::optional<QString>& outputLoss() const { return outputLoss_; }
    bool showingDesigner() const { return showingDesigner_; }
    void setShowingDesigner(bool showing);

    // Deck settings: every assignment is pushed to the core, also an unchanged one.
    double deckVolume() const { return deckVolume_; }
    void setDeckVolume(double volume);
    double recordLevel() const { return recordLevel_; }
    void setRecordLevel(double level);
    // 10^((level × 18 − 12) / 20): 0 gives −12 dB, 2/3 gives 0 dB, 1 gives +6 dB.
    static float recordGain(double level);
    DeckInput deckInput() const { return deckInput_; }
    void setDeckInput(DeckInput input);

    // Derived.
    bool isCassetteIdle() const;
    bool isStarted() const { return ticker_ != nullptr; }

    // Life.
    void start();
    void open(const std::filesystem::path& file, Completion done = {});
    // Opens documents in order as open() does, but audio files that follow one another
    // join the player in one addition: thousands of them cost one update of its list.
    void openDocuments(std::vector<std::filesystem::path> files);
    // Runs the panel for music and adds what was chosen to the player.
    void chooseSourceFiles();
    // One step of the main loop; the timer calls it every 1/60 s.
    void tick();
    // Tape position stored, tuner off, output stopped, settings flushed. Quitting has
    // answered for the cassette's changes, so its recovery copy goes.
    void shutdown();
    // Ended from outside (a termination signal), with nobody to answer for the changes:
    // the same steps, but a cassette with unsaved changes keeps its workspace, with a
    // recovery copy as of now, to be offered back at the next start.
    void terminate();
    // The quit decision: with nothing unsaved (or Don't Save) shuts down and answers now;
    // Cancel answers cancel; Save answers later (or cancel when it failed at once) and
    // calls `deferred` with whether to quit once the save ended (shut down when true).
    // A quit during a running save waits for that save instead of writing again.
    QuitReply requestQuit(Completion deferred);

    // Deck commands.
    void transport(TransportCommand command);
    void resetCounter();

signals:
    void documentChanged();
    void imagesChanged();
    void bookletImagesChanged();
    void mediaChanged();
    void fileUrlChanged();
    void metadataEditedChanged();
    void busyChanged();
    void alertChanged();
    void outputLossChanged();
    void showingDesignerChanged();
    void counterOffsetChanged();
    void deckVolumeChanged();
    void recordLevelChanged();
    void deckInputChanged();
    void tapeSoundChanged();
    // The whole model: the tick saw a new transport mode (menus re-read enable states).
    void modelChanged();
    // The engines announced a change (bridged from their observers).
    void sourceChanged();
    void tunerChanged();

private:
    void pushRecordGain();
    void pushWriteProtection();
    // Follows the output's device: each loss is said on the deck until a device plays
    // again, and with the alert "No audio output" when no device has played yet, which
    // goes by itself once one does.
    void followOutput();
    void openInOrder(std::vector<std::pair<std::filesystem::path, Completion>> documents);
    void shutdownSteps();
    // The tick's step: the deck input follows the source the user just started.
    void followSources(bool armed);

    StudioServices services_;

    // Rows of the model in construction order.
    std::unique_ptr<AudioCore> core_;
    std::unique_ptr<AlertSlot> alerts_;
    std::unique_ptr<WindowTitle> title_;
    std::unique_ptr<TapeSoundShelf> shelf_;
    std::unique_ptr<SourcePlayerEngine> source_;
    std::unique_ptr<TunerEngine> tuner_;
    std::unique_ptr<LiveDeck> live_;
    std::unique_ptr<DocumentEditor> editor_;
    std::unique_ptr<RecordingLog> log_;
    std::unique_ptr<CassetteSlot> slot_;
    std::unique_ptr<CassetteRecovery> recovery_;
    ObservationToken sourceObservation_;
    ObservationToken tunerObservation_;

    bool showingDesigner_ = false;
    double deckVolume_ = 0.8;
    double recordLevel_ = 2.0 / 3.0;
    DeckInput deckInput_ = DeckInput::sourcePlayer;
    std::unique_ptr<AudioOutput> output_;
    uint64_t noticedOutputLosses_ = 0;
    bool outputPlayed_ = false;  // a device has played since start
    std::optional<QString> outputLoss_;
    QTimer* ticker_ = nullptr;
    double lastTick_ = 0;
    TransportMode lastMode_ = TransportMode::stopped;
    SourcePlayerEngine::State lastSourceState_ = SourcePlayerEngine::State::stopped;
    std::optional<std::string> lastTunerStation_;
    // Whether the cassette had unsaved changes at the last tick.
    bool tickSawUnsaved_ = false;
    std::vector<std::pair<std::filesystem::path, Completion>> pendingOpen_;
    bool shutDown_ = false;
    // Cleared when the model goes: late results then do nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace norvo
