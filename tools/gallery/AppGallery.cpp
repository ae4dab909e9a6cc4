// The application's icon and its menus as the user opens them.
#include <QIcon>
#include <QMenu>
#include <QMenuBar>

#include "GalleryStudio.hpp"
#include "Gallery.hpp"
#include "NorvoStudioApp/StudioShell.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"
#include "Rack/Kit/StudioActions.hpp"

static void loadAppResources() { Q_INIT_RESOURCE(NorvoStudioApp); }

namespace {

void appGallery(gallery::Gallery& g) {
    loadAppResources();
    const QIcon icon(QStringLiteral(":/norvo/org.norvo.Studio.svg"));
    for (int size : {16, 48, 256}) {
        g.paint(QStringLiteral("icon-%1").arg(size), QSize(size, size),
                [&](QPainter& p, QSize s) { icon.paint(&p, QRect(QPoint(0, 0), s)); }, Qt::transparent);
    }

    gallery::GalleryStudio studio;
    norvo::StudioShell shell(*studio.model, [](int) {});
    studio.model->start();
    studio.model->newCassette(norvo::CassetteType::c60());
    studio.model->selectTapeSound("builtin.car-stereo");
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
}

gallery::Registrar reg("app", &appGallery);

}  // namespace
