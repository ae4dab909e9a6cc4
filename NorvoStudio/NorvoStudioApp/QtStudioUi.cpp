#include "NorvoStudioApp/QtStudioUi.hpp"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

#include "Designer/CassetteRenderer.hpp"
#include "NorvoStudioApp/RecentDocuments.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"

namespace norvo {

namespace {

QString toQString(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }
std::filesystem::path toPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

QString mimeTypeOf(const std::filesystem::path& file) {
    const QString suffix = QFileInfo(toQString(file)).suffix().toLower();
    if (suffix == StudioDocumentTypes::cassetteExtension()) return StudioDocumentTypes::cassetteMimeType();
    if (suffix == StudioDocumentTypes::soundExtension()) return StudioDocumentTypes::soundMimeType();
    return QStringLiteral("application/octet-stream");
}

}  // namespace

QtStudioUi::QtStudioUi(QString recentList)
    : recentList_(recentList.isEmpty() ? RecentDocuments::standardLocation() : std::move(recentList)) {
    recentWriter_.setMaxThreadCount(1);
}

QtStudioUi::~QtStudioUi() { recentWriter_.waitForDone(); }

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
    QFileDialog dialog(window_, panel.message);
    dialog.setObjectName(QStringLiteral("openPanel"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(panel.multipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    // Name filters rather than MIME types: the desktop may not know ours.
    dialog.setNameFilters(panel.nameFilters);
    std::vector<std::filesystem::path> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(toPath(file));
    if (!panel.multipleSelection && chosen.size() > 1) chosen.resize(1);
    return chosen;
}

QString QtStudioUi::defaultSuffix(const QStringList& nameFilters) {
    if (nameFilters.isEmpty()) return {};
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9+_-]+)"));
    const auto match = pattern.match(nameFilters.first());
    return match.hasMatch() ? match.captured(1) : QString();
}

std::optional<std::filesystem::path> QtStudioUi::runSavePanel(const FilePanel& panel) {
    QFileDialog dialog(window_, panel.message);
    dialog.setObjectName(QStringLiteral("savePanel"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(panel.nameFilters);
    dialog.setDefaultSuffix(defaultSuffix(panel.nameFilters));
    if (!panel.canCreateDirectories) dialog.setOption(QFileDialog::ReadOnly, true);
    if (!panel.proposedName.isEmpty()) dialog.selectFile(panel.proposedName);
    const QString suffix = defaultSuffix(panel.nameFilters);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        QString file = files.first();
        // A document saved under another extension could not be opened again as one:
        // "notes.txt" becomes "notes.txt.norvo".
        if (suffix.isEmpty() || QFileInfo(file).suffix().compare(suffix, Qt::CaseInsensitive) == 0)
            return toPath(file);
        file += QLatin1Char('.') + suffix;
        if (!QFileInfo::exists(file)) return toPath(file);
        // The dialog confirmed replacing the name as typed, not this one.
        const auto answer = QMessageBox::question(
            window_, QString(),
            QStringLiteral("\u201C%1\u201D already exists. Do you want to replace it?").arg(QFileInfo(file).fileName()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer == QMessageBox::Yes) return toPath(file);
        dialog.selectFile(QFileInfo(file).fileName());
    }
}

void QtStudioUi::beep() { beep_.ring(); }

void QtStudioUi::noteRecentDocument(const std::filesystem::path& file) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(toQString(file)).absoluteFilePath());
    const QString mimeType = mimeTypeOf(file);
    // Other applications' history may make the list large: read and write it off the main thread.
    recentWriter_.start([list = recentList_, url, mimeType] { RecentDocuments::note(list, url, mimeType); });
}

void QtStudioUi::waitForIdle() {
    recentWriter_.waitForDone();
    beep_.waitForIdle();
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
