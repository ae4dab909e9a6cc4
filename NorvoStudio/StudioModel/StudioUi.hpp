#pragma once
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>
#include <QStringList>

#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"

namespace norvo {

using ArtworkImages = std::map<ArtworkRole, QImage>;

// Everything the studio model asks of the desktop. The application implements it with
// Qt dialogs; tests implement it with scripted answers. Every call is modal and made on
// the main thread: the tick and finished background work still run while it waits, so
// the model never holds references into its own state across one.
class StudioUi {
public:
    enum class SaveChoice { save, dontSave, cancel };
    enum class RecoverChoice { recover, discard, keep };

    struct FilePanel {
        enum class Kind { openCassette, addMusic, importTapeSound, exportTapeSound, chooseArtwork, saveCassette };
        Kind kind = Kind::openCassette;
        QString message;          // shown above the file list
        QStringList nameFilters;  // in order, e.g. "Cassette (*.norvo)"
        QStringList mimeTypes;    // the same types by MIME name
        bool multipleSelection = false;
        bool canCreateDirectories = false;  // save panels
        QString proposedName;               // save panels: file name with extension
        // Where the panel starts; empty: where the user last chose a file of this kind.
        std::filesystem::path directory;
    };

    virtual ~StudioUi() = default;

    // The unsaved-changes prompt: `message` and `informativeText` as given, buttons
    // "Save…", "Cancel", "Don't Save" in that order; closing it answers cancel.
    virtual SaveChoice askToSaveChanges(const QString& message, const QString& informativeText) = 0;
    // A cassette an earlier run left unsaved, offered back: `message` and
    // `informativeText` as given, buttons "Recover", "Not Now" (keep: offered again at
    // the next start) and "Don't Recover" (discard) in that order; closing it answers keep.
    virtual RecoverChoice askToRecover(const QString& message, const QString& informativeText) = 0;
    // Open panel; empty when cancelled.
    virtual std::vector<std::filesystem::path> runOpenPanel(const FilePanel& panel) = 0;
    // Save panel; nothing when cancelled.
    virtual std::optional<std::filesystem::path> runSavePanel(const FilePanel& panel) = 0;
    virtual void beep() = 0;
    virtual void noteRecentDocument(const std::filesystem::path& file) = 0;
    // The cassette drawn 960 wide, side A, head 0, with these images, centred in a
    // 1024 x 1024 image; a null image when it cannot be drawn.
    virtual QImage renderThumbnail(const CassetteDocument& document, const ArtworkImages& images) = 0;
};

}  // namespace norvo
