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
// document editor, the recording log, the recovery, the tape-sound shelf); the model
// keeps the engines, the tick, start and quit, and every operation and signal the
// views use.
//
// Every published value has a getter and a change signal; views re-read on repaint.
// Signals of engine observers (sourceChanged, tunerChanged) and of the live deck must
// only schedule repaints: never call back into an engine from them.
class StudioModel final : public QObject {
    Q_OBJECT
public:
    using AlertItem = AlertSlot::Alert;
    using Busy = CassetteSlot::Busy;
    using SaveChoice = StudioUi::SaveChoice;
    using RecoverChoice = StudioUi::RecoverChoice;
    // Told whether the operation ran (a save: whether the file was written).
    using Completion = CassetteSlot::Completion;
    // Where in the document a colour or a list of lines lives (the designer's fields).
    using ColorField = DocumentEditor::ColorField;
    using LinesField = DocumentEditor::LinesField;

    enum class QuitReply { cancel, now, later };

    static constexpr double tickInterval = 1.0 / 60.0;
    static constexpr double largestTimeStep = 0.1;
    static constexpr int64_t markerLeadFrames = RecordingLog::markerLeadFrames;
    // The recovery copy of a cassette with unsaved changes is written at most this often.
    static constexpr double recoveryInterval = CassetteRecovery::interval;

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
    // The collaborators, for views that need only their part of the studio.
    DocumentEditor& editor() { return *editor_; }
    const CassetteSlot& cassetteSlot() const { return *slot_; }
    const WindowTitle& title() const { return *title_; }

    // Published state.
    const std::optional<CassetteDocument>& document() const { return editor_->document(); }
    const ArtworkImages& images() const { return editor_->images(); }
    const std::vector<QImage>& bookletImages() const { return editor_->bookletImages(); }
    const std::shared_ptr<TapeMedia>& media() const { return slot_->media(); }
    const std::optional<std::filesystem::path>& fileUrl() const { return slot_->fileUrl(); }
    bool metadataEdited() const { return editor_->metadataEdited(); }
    const std::optional<Busy>& busy() const { return slot_->busy(); }
    const std::optional<AlertItem>& alert() const { return alerts_->shown(); }
    void dismissAlert() { alerts_->dismiss(); }
    bool showingDesigner() const { return showingDesigner_; }
    void setShowingDesigner(bool showing);
    double counterOffset() const { return slot_->counterOffset(); }

    // Deck settings: every assignment is pushed to the core, also an unchanged one.
    double deckVolume() const { return deckVolume_; }
    void setDeckVolume(double volume);
    double recordLevel() const { return recordLevel_; }
    void setRecordLevel(double level);
    // 10^((level × 18 − 12) / 20): 0 gives −12 dB, 2/3 gives 0 dB, 1 gives +6 dB.
    static float recordGain(double level);
    DeckInput deckInput() const { return deckInput_; }
    void setDeckInput(DeckInput input);
    const TapeSoundLibrary& tapeSound() const { return shelf_->library(); }

    // Derived.
    bool hasUnsavedChanges() const { return slot_->hasUnsavedChanges(); }
    bool isCassetteIdle() const;
    bool isStarted() const { return ticker_ != nullptr; }
    // The station lock the tick keeps (tuner tuned to `lockedStation` since head frame).
    const std::optional<std::string>& lockedStation() const { return log_->lockedStation(); }
    std::optional<int64_t> stationLockedAt() const { return log_->stationLockedAt(); }

    // Life.
    void start();
    void open(const std::filesystem::path& file, Completion done = {});
    // Opens documents in order as open() does, but audio files that follow one another
    // join the player in one addition: thousands of them cost one update of its list.
    void openDocuments(std::vector<std::filesystem::path> files);
    // One step of the main loop; the timer calls it every 1/60 s.
    void tick();
    void saveTapePosition() { slot_->saveTapePosition(); }
    // Tape position stored, tuner off, output stopped, settings flushed. Quitting has
    // answered for the cassette's changes, so its recovery copy goes.
    void shutdown();
    // Ended from outside (a termination signal), with nobody to answer for the changes:
    // the same steps, but a cassette with unsaved changes keeps its workspace, with a
    // recovery copy as of now, to be offered back at the next start.
    void terminate();
    // The recovery copies of the loaded cassette (tests wait on it).
    RecoveryWriter& recoveryWriter() { return slot_->recoveryWriter(); }
    // The quit decision: with nothing unsaved (or Don't Save) shuts down and answers now;
    // Cancel answers cancel; Save answers later (or cancel when it failed at once) and
    // calls `deferred` with whether to quit once the save ended (shut down when true).
    // A quit during a running save waits for that save instead of writing again.
    QuitReply requestQuit(Completion deferred);

    // Deck commands.
    void transport(TransportCommand command);
    void resetCounter();

    // Cassette lifecycle. Refused while busy (beep, false completion).
    SaveChoice confirmSaveChanges() { return slot_->confirmSaveChanges(); }
    void newCassette(const CassetteType& type, Completion done = {}) { slot_->newCassette(type, std::move(done)); }
    void createBlankCassette(const CassetteType& type) { slot_->createBlankCassette(type); }
    void openCassette(const std::filesystem::path& file, Completion done = {}) {
        slot_->openCassette(file, std::move(done));
    }
    void insert(CassetteDocument document, std::shared_ptr<TapeMedia> media,
                std::optional<std::filesystem::path> file) {
        slot_->insert(std::move(document), std::move(media), std::move(file));
    }
    void removeCassette() { slot_->removeCassette(); }
    void eject(Completion done = {}) { slot_->eject(std::move(done)); }
    void chooseCassette(Completion done = {}) { slot_->chooseCassette(std::move(done)); }
    void chooseSourceFiles();

    // Saving.
    void save(const std::filesystem::path& file, Completion done = {}) { slot_->save(file, std::move(done)); }
    void saveAs(Completion done = {}) { slot_->saveAs(std::move(done)); }
    // PNG of the cassette (side A, head 0) drawn by the desktop, or nothing.
    std::optional<QByteArray> renderPNG(const CassetteDocument& document) { return editor_->renderPNG(document); }

    // Document edits: each changes a copy and publishes it only when it differs.
    void updateDocument(const std::function<void(CassetteDocument&)>& edit) { editor_->updateDocument(edit); }
    // The record tab's next state (intact/taped over → broken → taped over).
    void advanceWriteProtect(TapeSide side) { editor_->advanceWriteProtect(side); }
    void setShellTransparent(bool transparent) { editor_->setShellTransparent(transparent); }
    void setDesign(const CassetteStyle& style) { editor_->setDesign(style); }
    void setDocumentColor(const QColor& color, const ColorField& field) { editor_->setDocumentColor(color, field); }
    void setDocumentLines(const QString& text, const LinesField& field) { editor_->setDocumentLines(text, field); }
    void setArtwork(const FileData& image, ArtworkRole role) { editor_->setArtwork(image, role); }
    void removeArtwork(ArtworkRole role) { editor_->removeArtwork(role); }
    void appendBookletPanel(const FileData& image) { editor_->appendBookletPanel(image); }
    // A position that does not exist does nothing.
    void removeBookletPanel(int index) { editor_->removeBookletPanel(index); }
    // Runs the image panel for a slot (none: a booklet panel), checks the image and hands
    // the accepted bytes to `accepted` at most once, before returning.
    void chooseArtwork(std::optional<ArtworkRole> role, const std::function<void(const FileData&)>& accepted) {
        editor_->chooseArtwork(role, accepted);
    }

    // Tape sounds.
    void selectTapeSound(const std::string& id) { shelf_->select(id); }
    void importTapeSound(const std::filesystem::path& file) { shelf_->importProfile(file); }
    void chooseTapeSoundToImport() { shelf_->chooseToImport(); }
    void exportTapeSound() { shelf_->exportSelected(); }
    void removeImportedTapeSound(const std::string& id) { shelf_->removeImported(id); }
    void applyTapeSound(TapeSoundLibrary library) { shelf_->apply(std::move(library)); }

signals:
    void documentChanged();
    void imagesChanged();
    void bookletImagesChanged();
    void mediaChanged();
    void fileUrlChanged();
    void metadataEditedChanged();
    void busyChanged();
    void alertChanged();
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
    // "No audio output" once each time the output went on without its device.
    void noticeOutputLoss();
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
