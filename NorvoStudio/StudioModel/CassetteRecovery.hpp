#pragma once
#include <filesystem>
#include <optional>

#include <QObject>

#include "StudioModel/RecoveryCopy.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

class AlertSlot;
class AudioCore;
class CassetteSlot;
class DocumentEditor;
class RecordingLog;
class WindowTitle;
struct StudioServices;

// Cassettes that were not saved when the studio ended: those an earlier run left behind
// are offered back at start, and while the loaded cassette has unsaved changes a copy of
// it is kept in its workspace, written behind by the slot's recovery writer at most every
// `interval` seconds. Main thread only.
class CassetteRecovery final : public QObject {
    Q_OBJECT
public:
    static constexpr double interval = 0.5;

    // Every reference outlives this.
    CassetteRecovery(const StudioServices& services, AudioCore& core, CassetteSlot& slot, DocumentEditor& editor,
                     const RecordingLog& log, WindowTitle& title, AlertSlot& alerts, QObject* parent = nullptr);

    // Start: offers the unsaved cassettes of earlier runs, newest first, until one is
    // recovered or kept for later; the rest of the stale workspaces go.
    void offerRecoveries();
    // The tick's step: hands the writer a copy when the cassette is unsaved and changed,
    // at most every interval; a cassette saved meanwhile loses its copy.
    void noteChanges();
    // Quitting answered for the cassette's changes: its copy goes.
    void discardLoaded();
    // Ended with nobody to answer for the changes: an unsaved cassette keeps its
    // workspace with a copy as of now, everything else loses its copy.
    void keepLoaded();

private:
    StudioUi::RecoverChoice askToRecover(const RecoveryCopy& copy);
    void recover(const std::filesystem::path& workspace);
    void handCopy();

    const StudioServices& services_;
    AudioCore& core_;
    CassetteSlot& slot_;
    DocumentEditor& editor_;
    const RecordingLog& log_;
    WindowTitle& title_;
    AlertSlot& alerts_;
    // The last copy handed to the writer for the loaded cassette, and when.
    std::optional<RecoveryCopy> handedCopy_;
    double handedAt_ = 0;
};

}  // namespace norvo
