#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "NorvoStudioApp/ApplicationLifetime.hpp"
#include "NorvoStudioApp/PanelFolders.hpp"
#include "NorvoStudioApp/SerialWorker.hpp"
#include "NorvoStudioApp/SystemBeep.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

// The desktop for the studio model: Qt message boxes and file panels over the main
// window, the sound theme's bell, the desktop's recently-used list and the drawn cassette
// for thumbnails. The panels start where the user last chose a file of their kind,
// remembered in `defaults`.
class QtStudioUi final : public StudioUi {
public:
    // `recentList` is the recently-used file; empty means the standard one.
    // `runInBackground` reads the open panel's folders off the main thread; nothing means
    // Qt's global thread pool.
    explicit QtStudioUi(DefaultsStore& defaults, QString recentList = {},
                        std::function<void(std::function<void()>)> runInBackground = {});
    ~QtStudioUi() override;

    // Dialogs are centred on and modal to this window.
    void setWindow(QWidget* window) { window_ = window; }

    SaveChoice askToSaveChanges(const QString& message, const QString& informativeText) override;
    RecoverChoice askToRecover(const QString& message, const QString& informativeText) override;
    std::vector<std::filesystem::path> runOpenPanel(const FilePanel& panel) override;
    std::optional<std::filesystem::path> runSavePanel(const FilePanel& panel) override;
    void beep() override;
    void noteRecentDocument(const std::filesystem::path& file) override;
    QImage renderThumbnail(const CassetteDocument& document, const ArtworkImages& images) override;

    // Waits at most `limit` for recent-document notes and beeps still under way; true
    // when they have ended. One stuck in a read that never ends is left behind; once this
    // is gone, it notes nothing.
    bool waitForIdle(std::chrono::milliseconds limit);

private:
    std::filesystem::path recentList_;
    // A note left behind outlives the application, and Qt: it asks this first.
    std::shared_ptr<ApplicationLifetime> lifetime_ = std::make_shared<ApplicationLifetime>();
    PanelFolders folders_;
    std::function<void(std::function<void()>)> runInBackground_;
    QPointer<QWidget> window_;
    SystemBeep beep_;
    // One writer, so notes reach the list in order and never race each other.
    SerialWorker recentWriter_{"norvo-recent"};
};

}  // namespace norvo
