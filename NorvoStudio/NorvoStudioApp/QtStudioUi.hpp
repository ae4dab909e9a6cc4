#pragma once
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include "NorvoStudioApp/SystemBeep.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

// The desktop for the studio model: Qt message boxes and file dialogs over the main
// window, the sound theme's bell, the desktop's recently-used list and the drawn cassette
// for thumbnails.
class QtStudioUi final : public StudioUi {
public:
    // `recentList` is the recently-used file; empty means the standard one.
    explicit QtStudioUi(QString recentList = {});
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

    // Waits for recent-document notes still being written: for tests and shutdown.
    void waitForIdle();

    // The extension a save panel adds to a name typed without one: that of the first filter.
    static QString defaultSuffix(const QStringList& nameFilters);

private:
    QString recentList_;
    QPointer<QWidget> window_;
    SystemBeep beep_;
    // One writer, so notes reach the list in order and never race each other.
    QThreadPool recentWriter_;
};

}  // namespace norvo
