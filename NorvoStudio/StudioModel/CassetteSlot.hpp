#pragma once
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <QObject>
#include <QString>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/TapePositionStore.hpp"
#include "StudioModel/BackgroundWork.hpp"
#include "StudioModel/DocumentEditor.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

class AlertSlot;
class AudioCore;
class LiveDeck;
class RecordingLog;
class RecoveryWriter;
class WindowTitle;
struct StudioServices;

// The cassette in the deck: its workspace (the side files), the file it belongs to and
// the counter's zero; putting cassettes in (blank, opened, recovered) and taking them
// out, asking first about unsaved changes; opening and saving them in the background,
// one at a time, with a busy record the views show. The document itself is the editor's.
// Main thread only.
class CassetteSlot final : public QObject {
    Q_OBJECT
public:
    struct Busy {
        QString message;  // "Loading Mixtape…", "Saving Mixtape…"
        double progress = 0;
        bool operator==(const Busy&) const = default;
    };
    // Told whether the operation ran (a save: whether the file was written).
    using Completion = std::function<void(bool)>;

    // Every reference outlives the slot.
    CassetteSlot(const StudioServices& services, AudioCore& core, LiveDeck& live, DocumentEditor& editor,
                 RecordingLog& log, WindowTitle& title, AlertSlot& alerts, QObject* parent = nullptr);
    // Waits for the saves and workspace releases still running.
    ~CassetteSlot() override;

    const std::shared_ptr<TapeMedia>& media() const { return media_; }
    const std::optional<std::filesystem::path>& fileUrl() const { return fileUrl_; }
    const std::optional<Busy>& busy() const { return busy_; }
    double counterOffset() const { return counterOffset_; }
    void setCounterOffset(double offset);
    bool hasUnsavedChanges() const;
    // The cassette as its title names it: its file's name, else its own name, else its
    // type. `shown` puts a name from outside before the user (drawn alone, or in a sentence).
    static QString cassetteName(const CassetteDocument& document, const std::optional<std::filesystem::path>& file,
                                QString (*shown)(std::string_view));

    std::filesystem::path workspacesRoot() const;
    // The recovery copies of the loaded cassette's workspace.
    RecoveryWriter& recoveryWriter() { return *recovery_; }

    // Lifecycle. Refused while busy (beep, false completion).
    StudioUi::SaveChoice confirmSaveChanges();
    // The cassette in `file` goes in, once unsaved changes were answered for.
    void open(const std::filesystem::path& file, Completion done);
    void newCassette(const CassetteType& type, Completion done = {});
    void createBlankCassette(const CassetteType& type);
    void openCassette(const std::filesystem::path& file, Completion done = {});
    void insert(CassetteDocument document, std::shared_ptr<TapeMedia> media, std::optional<std::filesystem::path> file);
    void removeCassette();
    void eject(Completion done = {});
    void chooseCassette(Completion done = {});
    void saveTapePosition();
    // What makes the cassette go (a replacement, an eject, quitting) runs once its unsaved
    // changes were answered for: at once with none, or after Don't Save; after a save that
    // wrote the file (a recording deck stopped first); never after Cancel or a failed
    // save. `done` learns whether `action` ran; `action` passes it on.
    void guardedReplacement(std::function<void(Completion)> action, Completion done);

    // Saving.
    void save(const std::filesystem::path& file, Completion done = {});
    void saveAs(Completion done = {});
    bool saving() const { return work_ == Work::saving; }
    // `after` learns whether the running save wrote the file, once it ended.
    void afterSave(Completion after);

signals:
    void mediaChanged();
    void fileUrlChanged();
    void busyChanged();
    void counterOffsetChanged();

private:
    enum class Work { none, loading, saving };

    void insert(CassetteDocument document, std::shared_ptr<TapeMedia> media, std::optional<std::filesystem::path> file,
                const DocumentEditor::DecodedImages& decoded);
    void setMedia(std::shared_ptr<TapeMedia> media);
    void setFileUrl(std::optional<std::filesystem::path> file);
    void setBusy(std::optional<Busy> busy);
    std::shared_ptr<TapeMedia> makeMedia(const CassetteType& type) const;
    void runInBackground(BackgroundWork::Kind kind, std::function<void()> work);
    // A document command refused while a cassette loads or saves.
    bool refuseWhileBusy(const Completion& done);
    void finishSave(std::exception_ptr error, const std::filesystem::path& file, uint64_t loadSerial,
                    const CassetteDocument& written, Completion done);
    void releaseMedia(std::shared_ptr<TapeMedia> media);
    // Forwards a worker's progress to `busy` on the main thread while `work` runs.
    std::function<void(double)> busyProgress(Work work);

    const StudioServices& services_;
    AudioCore& core_;
    LiveDeck& live_;
    DocumentEditor& editor_;
    RecordingLog& log_;
    WindowTitle& title_;
    AlertSlot& alerts_;
    TapePositionStore positions_;

    std::shared_ptr<TapeMedia> media_;
    std::optional<std::filesystem::path> fileUrl_;
    std::optional<Busy> busy_;
    double counterOffset_ = 0;
    // Which cassette is loaded: grows with every insert and removal, so late results of
    // background work can tell whether their cassette is still the one in the deck.
    uint64_t loadSerial_ = 0;
    Work work_ = Work::none;
    // Waiting for the running save to end (quits).
    std::vector<Completion> saveWaiters_;
    // Cleared when the slot goes: late background results then do nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<RecoveryWriter> recovery_;
    std::unique_ptr<BackgroundWork> background_;
};

}  // namespace norvo
