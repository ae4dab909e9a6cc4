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
#include "Cassette/TapePositionStore.hpp"
#include "Platform/Observable.hpp"
#include "Radio/TunerEngine.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "StudioModel/BackgroundWork.hpp"
#include "StudioModel/LiveDeck.hpp"
#include "StudioModel/RecoveryCopy.hpp"
#include "StudioModel/RecoveryWriter.hpp"
#include "StudioModel/StudioServices.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

// The whole studio for the views and the shell: the audio core, the player, the tuner,
// the live deck, the tape sounds, the stored tape positions, the audio output once
// started and the cassette in the deck. One instance per run, made by the application
// and handed to the views. Main thread only.
//
// Every published value has a getter and a change signal; views re-read on repaint.
// Signals of engine observers (sourceChanged, tunerChanged) and of the live deck must
// only schedule repaints: never call back into an engine from them.
class StudioModel final : public QObject {
    Q_OBJECT
public:
    struct AlertItem {
        QUuid id;  // fresh for every alert
        QString title;
        QString message;
        bool operator==(const AlertItem&) const = default;
    };

    struct Busy {
        QString message;  // "Loading Mixtape…", "Saving Mixtape…"
        double progress = 0;
        bool operator==(const Busy&) const = default;
    };

    using SaveChoice = StudioUi::SaveChoice;
    using RecoverChoice = StudioUi::RecoverChoice;
    // Told whether the operation ran (a save: whether the file was written).
    using Completion = std::function<void(bool)>;
    // Where in the document a colour or a list of lines lives (the designer's fields).
    using ColorField = std::function<RGBAColor&(CassetteDocument&)>;
    using LinesField = std::function<std::vector<std::string>&(CassetteDocument&)>;

    enum class QuitReply { cancel, now, later };

    static constexpr double tickInterval = 1.0 / 60.0;
    static constexpr double largestTimeStep = 0.1;
    static constexpr int64_t readAheadFrames = 176400;
    static constexpr int64_t markerLeadFrames = 2205;
    // The recovery copy of a cassette with unsaved changes is written at most this often.
    static constexpr double recoveryInterval = 0.5;

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

    // Published state.
    const std::optional<CassetteDocument>& document() const { return document_; }
    const ArtworkImages& images() const { return images_; }
    const std::vector<QImage>& bookletImages() const { return bookletImages_; }
    const std::shared_ptr<TapeMedia>& media() const { return media_; }
    const std::optional<std::filesystem::path>& fileUrl() const { return fileUrl_; }
    bool metadataEdited() const { return metadataEdited_; }
    const std::optional<Busy>& busy() const { return busy_; }
    const std::optional<AlertItem>& alert() const { return alert_; }
    void dismissAlert();
    bool showingDesigner() const { return showingDesigner_; }
    void setShowingDesigner(bool showing);
    double counterOffset() const { return counterOffset_; }

    // Deck settings: every assignment is pushed to the core, also an unchanged one.
    double deckVolume() const { return deckVolume_; }
    void setDeckVolume(double volume);
    double recordLevel() const { return recordLevel_; }
    void setRecordLevel(double level);
    // 10^((level × 18 − 12) / 20): 0 gives −12 dB, 2/3 gives 0 dB, 1 gives +6 dB.
    static float recordGain(double level);
    DeckInput deckInput() const { return deckInput_; }
    void setDeckInput(DeckInput input);
    const TapeSoundLibrary& tapeSound() const { return tapeSound_; }

    // Derived.
    bool hasUnsavedChanges() const;
    QString windowTitle() const;
    bool isCassetteIdle() const;
    bool isStarted() const { return ticker_ != nullptr; }
    // The station lock the tick keeps (tuner tuned to `lockedStation` since head frame).
    const std::optional<std::string>& lockedStation() const { return lockedStation_; }
    std::optional<int64_t> stationLockedAt() const { return stationLockedAt_; }

    // Life.
    void start();
    void open(const std::filesystem::path& file, Completion done = {});
    // Opens documents in order as open() does, but audio files that follow one another
    // join the player in one addition: thousands of them cost one update of its list.
    void openDocuments(std::vector<std::filesystem::path> files);
    // One step of the main loop; the timer calls it every 1/60 s.
    void tick();
    void saveTapePosition();
    // Tape position stored, tuner off, output stopped, settings flushed. Quitting has
    // answered for the cassette's changes, so its recovery copy goes.
    void shutdown();
    // Ended from outside (a termination signal), with nobody to answer for the changes:
    // the same steps, but a cassette with unsaved changes keeps its workspace, with a
    // recovery copy as of now, to be offered back at the next start.
    void terminate();
    // The recovery copies of the loaded cassette (tests wait on it).
    RecoveryWriter& recoveryWriter() { return *recovery_; }
    // The quit decision: with nothing unsaved (or Don't Save) shuts down and answers now;
    // Cancel answers cancel; Save answers later (or cancel when it failed at once) and
    // calls `deferred` with whether to quit once the save ended (shut down when true).
    // A quit during a running save waits for that save instead of writing again.
    QuitReply requestQuit(Completion deferred);

    // Deck commands.
    void transport(TransportCommand command);
    void resetCounter();

    // Cassette lifecycle. Refused while busy (beep, false completion).
    SaveChoice confirmSaveChanges();
    void newCassette(const CassetteType& type, Completion done = {});
    void createBlankCassette(const CassetteType& type);
    void openCassette(const std::filesystem::path& file, Completion done = {});
    void insert(CassetteDocument document, std::shared_ptr<TapeMedia> media,
                std::optional<std::filesystem::path> file);
    void removeCassette();
    void eject(Completion done = {});
    void chooseCassette(Completion done = {});
    void chooseSourceFiles();

    // Saving.
    void save(const std::filesystem::path& file, Completion done = {});
    void saveAs(Completion done = {});
    // PNG of the cassette (side A, head 0) drawn by the desktop, or nothing.
    std::optional<QByteArray> renderPNG(const CassetteDocument& document);

    // Document edits: each changes a copy and publishes it only when it differs.
    void updateDocument(const std::function<void(CassetteDocument&)>& edit);
    // The record tab's next state (intact/taped over → broken → taped over).
    void advanceWriteProtect(TapeSide side);
    void setShellTransparent(bool transparent);
    void setDesign(const CassetteStyle& style);
    void setDocumentColor(const QColor& color, const ColorField& field);
    void setDocumentLines(const QString& text, const LinesField& field);
    void setArtwork(const FileData& image, ArtworkRole role);
    void removeArtwork(ArtworkRole role);
    void appendBookletPanel(const FileData& image);
    // A position that does not exist does nothing.
    void removeBookletPanel(int index);
    // Runs the image panel for a slot (none: a booklet panel), checks the image and hands
    // the accepted bytes to `accepted` at most once, before returning.
    void chooseArtwork(std::optional<ArtworkRole> role, const std::function<void(const FileData&)>& accepted);

    // Tape sounds.
    void selectTapeSound(const std::string& id);
    void importTapeSound(const std::filesystem::path& file);
    void chooseTapeSoundToImport();
    void exportTapeSound();
    void removeImportedTapeSound(const std::string& id);
    void applyTapeSound(TapeSoundLibrary library);

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
    // Emitted when the title text differs from the last one emitted (checked on changes
    // and every tick, since recording makes the cassette unsaved).
    void windowTitleChanged();
    // The whole model: the tick saw a new transport mode (menus re-read enable states).
    void modelChanged();
    // The engines announced a change (bridged from their observers).
    void sourceChanged();
    void tunerChanged();

private:
    struct Pass {
        RecordingPass core;
        std::string source;
        std::vector<TrackMarker> markers;
        std::optional<std::string> format;
    };
    struct TrackInfo {
        std::string key;
        std::string title;
        std::string format;
    };
    struct LoggedTrack {
        TapeSide side;
        std::string key;
    };
    enum class Work { none, loading, saving };

    void pushRecordGain();
    void setDocument(std::optional<CassetteDocument> document);
    void rebuildImages(const std::optional<CassetteDocument>& previous);
    // The image of artwork bytes: decoded by the worker that read the file, else here.
    QImage decoded(const FileData& data) const;
    void setMedia(std::shared_ptr<TapeMedia> media);
    void setFileUrl(std::optional<std::filesystem::path> file);
    void setMetadataEdited(bool edited);
    void setBusy(std::optional<Busy> busy);
    void setCounterOffset(double offset);
    void raiseAlert(const QString& title, const QString& message);
    // "No audio output" once each time the output went on without its device.
    void noticeOutputLoss();
    // An alert that never replaces a pending one: it waits until that one is dismissed.
    void raiseNotice(const QString& title, const QString& message);
    void pushWriteProtection();
    void refreshLive();
    void noteTitleMaybeChanged();
    std::shared_ptr<TapeMedia> makeMedia(const CassetteType& type) const;
    std::filesystem::path workspacesRoot() const;
    void runInBackground(BackgroundWork::Kind kind, std::function<void()> work);
    // A document command refused while a cassette loads or saves.
    bool refuseWhileBusy(const Completion& done);
    // Asks about unsaved changes, then runs `action`; `done` learns whether it ran.
    void guardedReplacement(std::function<void(Completion)> action, Completion done);
    void finishSave(std::exception_ptr error, const std::filesystem::path& file, uint64_t loadSerial,
                    const CassetteDocument& written, Completion done);
    void releaseMedia(std::shared_ptr<TapeMedia> media);
    void openInOrder(std::vector<std::pair<std::filesystem::path, Completion>> documents);
    // Forwards a worker's progress to `busy` on the main thread while `work` runs.
    std::function<void(double)> busyProgress(Work work);

    // Recovery of cassettes an earlier run left unsaved.
    void offerRecoveries();
    RecoverChoice askToRecover(const RecoveryCopy& copy);
    void recover(const std::filesystem::path& workspace);
    void shutdownSteps();
    // The tick's step: hands the writer a copy when the cassette is unsaved and changed,
    // at most every recoveryInterval; a cassette saved meanwhile loses its copy.
    void noteRecoveryCopy();
    void handRecoveryCopy();

    // Tick steps.
    void followSources(bool armed);
    void observePass(const std::optional<RecordingPass>& pass, bool recording);
    void commitPass();
    std::optional<TrackInfo> currentTrackInfo() const;
    void logTrackIfNeeded(std::optional<TapeSide> side, int64_t position);

    StudioServices services_;

    // Rows of the model in construction order.
    std::unique_ptr<AudioCore> core_;
    std::optional<CassetteDocument> document_;
    ArtworkImages images_;
    std::vector<QImage> bookletImages_;
    std::shared_ptr<TapeMedia> media_;
    std::optional<std::filesystem::path> fileUrl_;
    bool metadataEdited_ = false;
    std::optional<Busy> busy_;
    std::optional<AlertItem> alert_;
    // Notices wait here for the slot; one that an alert displaces comes back after it.
    std::vector<AlertItem> waitingNotices_;
    std::optional<QUuid> noticeShown_;
    bool showingDesigner_ = false;
    double counterOffset_ = 0;
    double deckVolume_ = 0.8;
    double recordLevel_ = 2.0 / 3.0;
    DeckInput deckInput_ = DeckInput::sourcePlayer;
    TapeSoundLibrary tapeSound_;
    std::unique_ptr<AudioOutput> output_;
    uint64_t noticedOutputLosses_ = 0;
    QTimer* ticker_ = nullptr;
    double lastTick_ = 0;
    TransportMode lastMode_ = TransportMode::stopped;
    std::optional<LoggedTrack> lastLoggedTrack_;
    std::optional<Pass> pass_;
    SourcePlayerEngine::State lastSourceState_ = SourcePlayerEngine::State::stopped;
    std::optional<std::string> lastTunerStation_;
    std::optional<std::string> lockedStation_;
    std::optional<int64_t> stationLockedAt_;
    int finishedPassSerial_ = 0;
    TapePositionStore positions_;
    std::vector<std::pair<std::filesystem::path, Completion>> pendingOpen_;

    std::unique_ptr<SourcePlayerEngine> source_;
    std::unique_ptr<TunerEngine> tuner_;
    std::unique_ptr<LiveDeck> live_;
    ObservationToken sourceObservation_;
    ObservationToken tunerObservation_;

    // Which cassette is loaded: grows with every insert and removal, so late results of
    // background work can tell whether their cassette is still the one in the deck.
    uint64_t loadSerial_ = 0;
    Work work_ = Work::none;
    // Deferred replies of quits that wait for the running save.
    std::vector<Completion> quitWaiters_;
    std::vector<std::pair<FileData, QImage>> predecoded_;
    QString publishedTitle_;
    // While set, title changes are announced once at the end of the operation.
    int titleHold_ = 0;
    friend struct TitleHold;
    bool shutDown_ = false;
    // The last recovery copy handed to the writer for the loaded cassette, and when.
    std::optional<RecoveryCopy> handedCopy_;
    double handedAt_ = 0;
    // Cleared when the model goes: late background results then do nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<RecoveryWriter> recovery_;
    std::unique_ptr<BackgroundWork> background_;
};

}  // namespace norvo
