#include "NorvoStudioApp/QtStudioUi.hpp"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

#include "CassetteDrawing/CassetteRenderer.hpp"
#include "NorvoStudioApp/FilePanelDialog.hpp"
#include "NorvoStudioApp/RecentDocuments.hpp"
#include "StudioModel/LocalPath.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"

namespace norvo {

namespace {

QString mimeTypeOf(const std::filesystem::path& file) {
    const QString suffix = QFileInfo(LocalPath::shown(file)).suffix().toLower();
    if (suffix == StudioDocumentTypes::cassetteExtension()) return StudioDocumentTypes::cassetteMimeType();
    if (suffix == StudioDocumentTypes::soundExtension()) return StudioDocumentTypes::soundMimeType();
    return QStringLiteral("application/octet-stream");
}

// An open or a save panel for `panel`, starting where the last one of its kind was left.
FilePanelDialog::Options panelOptions(FilePanelDialog::Mode mode, const StudioUi::FilePanel& panel,
                                      const PanelFolders& folders,
                                      const std::function<void(std::function<void()>)>& runInBackground) {
    const bool saving = mode == FilePanelDialog::Mode::save;
    return {
        .mode = mode,
        .message = panel.message,
        .nameFilters = panel.nameFilters,
        .multipleSelection = !saving && panel.multipleSelection,
        .directory = panel.directory.empty() ? folders.startFolder(PanelFolders::kindOf(panel.kind)) : panel.directory,
        .proposedName = saving ? panel.proposedName : QString(),
        .canCreateDirectories = saving && panel.canCreateDirectories,
        .runInBackground = runInBackground};
}

}  // namespace

QtStudioUi::QtStudioUi(DefaultsStore& defaults, QString recentList,
                       std::function<void(std::function<void()>)> runInBackground)
    : recentList_(
          QFile::encodeName(recentList.isEmpty() ? RecentDocuments::standardLocation() : recentList).toStdString()),
      folders_(defaults),
      runInBackground_(std::move(runInBackground)) {}

QtStudioUi::~QtStudioUi() { lifetime_->end(); }

StudioUi::SaveChoice QtStudioUi::askToSaveChanges(const QString& message, const QString& informativeText) {
    QMessageBox box(window_);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("Norvo Studio"));
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    box.setInformativeText(informativeText);
    QPushButton* save = box.addButton(QObject::tr("Save\u2026"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole);
    QPushButton* dontSave = box.addButton(QObject::tr("Don't Save"), QMessageBox::DestructiveRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) return SaveChoice::save;
    if (box.clickedButton() == dontSave) return SaveChoice::dontSave;
    return SaveChoice::cancel;
}

StudioUi::RecoverChoice QtStudioUi::askToRecover(const QString& message, const QString& informativeText) {
    QMessageBox box(window_);
    box.setObjectName(QStringLiteral("recoverPrompt"));
    box.setIcon(QMessageBox::Warning);
    // Its own title, so that it can be told from the main window at a glance.
    box.setWindowTitle(QObject::tr("Recover Cassette"));
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    box.setInformativeText(informativeText);
    QPushButton* recover = box.addButton(QObject::tr("Recover"), QMessageBox::AcceptRole);
    QPushButton* later = box.addButton(QObject::tr("Not Now"), QMessageBox::RejectRole);
    QPushButton* discard = box.addButton(QObject::tr("Don't Recover"), QMessageBox::DestructiveRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == recover) return RecoverChoice::recover;
    if (box.clickedButton() == discard) return RecoverChoice::discard;
    return RecoverChoice::keep;
}

std::vector<std::filesystem::path> QtStudioUi::runOpenPanel(const FilePanel& panel) {
    const PanelFolders::Kind kind = PanelFolders::kindOf(panel.kind);
    // Name filters rather than MIME types: the desktop may not know ours.
    FilePanelDialog dialog(panelOptions(FilePanelDialog::Mode::open, panel, folders_, runInBackground_), window_);
    dialog.setObjectName(QStringLiteral("openPanel"));
    std::vector<std::filesystem::path> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    chosen = dialog.chosenFiles();
    if (!panel.multipleSelection && chosen.size() > 1) chosen.resize(1);
    if (!chosen.empty()) folders_.chose(kind, chosen.front());
    return chosen;
}

std::optional<std::filesystem::path> QtStudioUi::runSavePanel(const FilePanel& panel) {
    const PanelFolders::Kind kind = PanelFolders::kindOf(panel.kind);
    FilePanelDialog dialog(panelOptions(FilePanelDialog::Mode::save, panel, folders_, runInBackground_), window_);
    dialog.setObjectName(QStringLiteral("savePanel"));
    if (dialog.exec() != QDialog::Accepted || dialog.chosenFiles().empty()) return std::nullopt;
    const std::filesystem::path file = dialog.chosenFiles().front();
    folders_.chose(kind, file);
    return file;
}

void QtStudioUi::beep() { beep_.ring(); }

void QtStudioUi::noteRecentDocument(const std::filesystem::path& file) {
    // The URL keeps the path's bytes, so a name that is not UTF-8 is noted as itself.
    std::error_code ignored;
    const QUrl url = LocalPath::url(file.is_absolute() ? file : std::filesystem::absolute(file, ignored));
    // Other applications' history may make the list large: read and write it off the main thread.
    recentWriter_.post([list = recentList_, entry = RecentDocuments::entry(url, mimeTypeOf(file)),
                        lifetime = lifetime_] { RecentDocuments::note(list, entry, *lifetime); });
}

bool QtStudioUi::waitForIdle(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const bool noted = recentWriter_.waitForIdle(limit);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return beep_.waitForIdle(std::max(left, std::chrono::milliseconds(0))) && noted;
}

QImage QtStudioUi::renderThumbnail(const CassetteDocument& document, const ArtworkImages& images) {
    constexpr int side = 1024;
    constexpr int cassetteWidth = 960;
    const QImage cassette = renderCassetteImage(cassetteWidth, document, TapeSide::a, 0, images);
    if (cassette.isNull()) return {};
    QImage thumbnail(side, side, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::transparent);
    QPainter painter(&thumbnail);
    painter.drawImage(QPoint((side - cassette.width()) / 2, (side - cassette.height()) / 2), cassette);
    painter.end();
    return thumbnail;
}

}  // namespace norvo
