#include "TapeSoundMenuItems.hpp"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPointer>

#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioCommands.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

namespace {

// Marks what fill() made, so the next fill removes exactly that.
const char* const ownedProperty = "norvoTapeSoundItem";

template <typename T>
T* owned(T* object) {
    object->setProperty(ownedProperty, true);
    return object;
}

QString shown(const std::string& name) { return StudioCommands::menuText(ShownText::plain(name)); }

}  // namespace

void TapeSoundMenuItems::fill(QMenu& menu, StudioModel& model) {
    menu.clear();
    const QObjectList children = menu.children();
    for (QObject* child : children) {
        if (child->property(ownedProperty).toBool()) delete child;
    }

    const TapeSoundLibrary& library = model.tapeSounds().library();
    const std::string selectedID = library.selectedID();
    auto* group = owned(new QActionGroup(&menu));
    group->setExclusive(true);
    // Each row keeps its own copy of the id: the library may be replaced while the menu is open.
    auto row = [&](const std::string& id, const QString& title) {
        QAction* action = menu.addAction(title);
        action->setCheckable(true);
        action->setChecked(id == selectedID);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &menu, [&model, id] { model.tapeSounds().select(id); });
    };

    row(std::string(TapeSoundLibrary::defaultProfileID), QObject::tr("Clean"));
    menu.addSeparator();
    for (const SoundProfile& profile : TapeSoundLibrary::builtIns()) row(profile.id, shown(profile.name));
    if (!library.imported.empty()) {
        menu.addSeparator();
        for (const SoundProfile& profile : library.imported) row(profile.id, shown(profile.name));
    }

    menu.addSeparator();
    QObject::connect(menu.addAction(QObject::tr("Import Tape Sound\u2026")), &QAction::triggered, &menu,
                     [&model] { model.tapeSounds().chooseToImport(); });
    const QString selectedName = library.selected ? shown(library.selected->name) : QObject::tr("Clean");
    QAction* exportItem = menu.addAction(QObject::tr("Export \u201c") + selectedName + QObject::tr("\u201d\u2026"));
    exportItem->setEnabled(library.selected.has_value());
    QObject::connect(exportItem, &QAction::triggered, &menu, [&model] { model.tapeSounds().exportSelected(); });

    if (!library.imported.empty()) {
        QMenu* remove = owned(new QMenu(QObject::tr("Remove Imported"), &menu));
        for (const SoundProfile& profile : library.imported) {
            QObject::connect(remove->addAction(shown(profile.name)), &QAction::triggered, &menu,
                             [&model, id = profile.id] { model.tapeSounds().removeImported(id); });
        }
        menu.addMenu(remove);
    }
}

void TapeSoundMenuItems::attach(QMenu& menu, StudioModel& model) {
    fill(menu, model);
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu, &model] { fill(menu, model); });
}

}  // namespace norvo
