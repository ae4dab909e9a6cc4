// The application's icon and its menus as the user opens them.
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "Gallery.hpp"
#include "GalleryStudio.hpp"
#include "NorvoStudioApp/FilePanelDialog.hpp"
#include "NorvoStudioApp/StudioActions.hpp"
#include "NorvoStudioApp/StudioShell.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"

static void loadAppResources() { Q_INIT_RESOURCE(NorvoStudioApp); }

namespace {

void appGallery(gallery::Gallery& g) {
    loadAppResources();
    const QIcon icon(QStringLiteral(":/norvo/org.norvo.Studio.svg"));
    for (int size : {16, 48, 256}) {
        g.paint(
            QStringLiteral("icon-%1").arg(size), QSize(size, size),
            [&](QPainter& p, QSize s) { icon.paint(&p, QRect(QPoint(0, 0), s)); }, Qt::transparent);
    }

    gallery::GalleryStudio studio;
    norvo::StudioShell shell(*studio.model, studio.faces->faces(), [](int) {});
    studio.model->start();
    studio.model->cassetteSlot().newCassette(norvo::CassetteType::c60());
    studio.model->tapeSounds().select("builtin.car-stereo");
    norvo::RadioStation station;
    station.id = "s1";
    station.name = "Rock & Roll FM";
    studio.model->tuner().store(station, 0);

    for (QAction* top : shell.window().menuBar()->actions()) {
        QMenu* menu = top->menu();
        emit menu->aboutToShow();
        g.widget(QStringLiteral("menu-") + menu->objectName(), *menu);
    }
    QMenu* tapeSound = shell.window().actions().tapeSoundMenu();
    emit tapeSound->aboutToShow();
    g.widget(QStringLiteral("menu-tapeSound"), *tapeSound);

    // The dialogs, in the typeface of the menus and the faces.
    QMessageBox ask(&shell.window());
    ask.setIcon(QMessageBox::Warning);
    ask.setWindowTitle(QStringLiteral("Norvo Studio"));
    ask.setText(QStringLiteral("Do you want to save the changes to \u201cMixtape\u201d?"));
    ask.setInformativeText(QStringLiteral("Your changes will be lost if you don't save them."));
    ask.addButton(QObject::tr("Save\u2026"), QMessageBox::AcceptRole);
    ask.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole);
    ask.addButton(QObject::tr("Don't Save"), QMessageBox::DestructiveRole);
    g.widget(QStringLiteral("dialog-save-changes"), ask);

    // A folder of the same name every run: its path is shown in the panel.
    QDir folder(QDir::temp().filePath(QStringLiteral("Norvo Gallery Cassettes")));
    folder.removeRecursively();
    folder.mkpath(QStringLiteral("Archive"));
    for (const char* name : {"Mixtape.norvo", "Road Trip.norvo", "Notes.txt"})
        QFile(folder.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    norvo::FilePanelDialog panel({.mode = norvo::FilePanelDialog::Mode::open,
                                  .message = QStringLiteral("Choose a cassette to put in the deck"),
                                  .nameFilters = {QStringLiteral("Norvo cassette (*.norvo)")},
                                  .multipleSelection = false,
                                  .directory = std::filesystem::path(folder.path().toStdString()),
                                  .proposedName = {},
                                  .canCreateDirectories = false,
                                  .runInBackground = [](std::function<void()> work) { work(); }},
                                 &shell.window());
    panel.resize(520, 380);
    QCoreApplication::processEvents();
    g.widget(QStringLiteral("dialog-open-panel"), panel);
    folder.removeRecursively();
}

gallery::Registrar reg("app", &appGallery);

}  // namespace
