#include "StudioModel/TapeSoundMenuItems.hpp"

namespace norvo {

QString TapeSoundMenuItems::escaped(const QString& text) {
    QString result = text;
    return result.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

std::vector<TapeSoundMenuItems::Item> TapeSoundMenuItems::items(StudioModel& model) {
    using Kind = Item::Kind;
    const TapeSoundLibrary& library = model.tapeSound();
    const QString selected = QString::fromStdString(library.selectedID());
    StudioModel* target = &model;

    auto choice = [&](const QString& title, const std::string& id) {
        Item item;
        item.kind = Kind::choice;
        item.title = escaped(title);
        item.id = QString::fromStdString(id);
        item.checked = item.id == selected;
        item.action = [target, id] { target->selectTapeSound(id); };
        return item;
    };
    auto separator = [] {
        Item item;
        item.kind = Kind::separator;
        return item;
    };

    std::vector<Item> items;
    items.push_back(choice(QStringLiteral("Clean"), std::string(TapeSoundLibrary::defaultProfileID)));
    items.push_back(separator());
    for (const auto& profile : TapeSoundLibrary::builtIns())
        items.push_back(choice(QString::fromStdString(profile.name), profile.id));
    if (!library.imported.empty()) {
        items.push_back(separator());
        for (const auto& profile : library.imported)
            items.push_back(choice(QString::fromStdString(profile.name), profile.id));
    }
    items.push_back(separator());

    Item import;
    import.title = QStringLiteral("Import Tape Sound\u2026");
    import.action = [target] { target->chooseTapeSoundToImport(); };
    items.push_back(std::move(import));

    Item exportItem;
    const QString name = library.selected ? QString::fromStdString(library.selected->name) : QStringLiteral("Clean");
    exportItem.title = escaped(QStringLiteral("Export \u201C") + name + QStringLiteral("\u201D\u2026"));
    exportItem.enabled = library.selected.has_value();
    exportItem.action = [target] { target->exportTapeSound(); };
    items.push_back(std::move(exportItem));

    if (!library.imported.empty()) {
        Item remove;
        remove.kind = Kind::submenu;
        remove.title = QStringLiteral("Remove Imported");
        for (const auto& profile : library.imported) {
            Item entry;
            entry.title = escaped(QString::fromStdString(profile.name));
            entry.action = [target, id = profile.id] { target->removeImportedTapeSound(id); };
            remove.children.push_back(std::move(entry));
        }
        items.push_back(std::move(remove));
    }
    return items;
}

}  // namespace norvo
