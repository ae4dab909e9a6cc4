#pragma once
#include <functional>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QObject>
#include <QString>

#include "StudioModel/StudioModel.hpp"

namespace norvo {

// The Tape Sound menu: the profiles to choose from (the selected one checked), import,
// export and removal. Read from the model's tape sounds each time it is built; one
// function fills both the Deck menu's submenu and the deck face's own menu.
struct TapeSoundMenuItems {
    struct Item {
        enum class Kind { choice, separator, command, submenu };
        Kind kind = Kind::command;
        QString title;  // "&" doubled, so Qt shows it instead of making a mnemonic
        QString id;     // a choice's profile id, "clean" for Clean
        bool checked = false;
        bool enabled = true;
        std::function<void()> action;
        std::vector<Item> children;  // a submenu's items
    };

    static std::vector<Item> items(StudioModel& model);
    // "&" shown as itself in a menu title.
    static QString escaped(const QString& text);

    // Clears `menu` and fills it: QMenu in the application; anything with clear(),
    // addAction(QString), addSeparator() and addMenu(QString) returning such a menu.
    // The choices form one exclusive action group.
    template <class Menu>
    static void fill(Menu& menu, StudioModel& model) {
        for (auto* group : menu.template findChildren<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly))
            delete group;
        menu.clear();
        auto* group = new QActionGroup(&menu);
        group->setExclusive(true);
        add(menu, items(model), group);
    }

private:
    template <class Menu>
    static void add(Menu& menu, const std::vector<Item>& items, QActionGroup* group) {
        for (const Item& item : items) {
            switch (item.kind) {
                case Item::Kind::separator: menu.addSeparator(); break;
                case Item::Kind::submenu: add(*menu.addMenu(item.title), item.children, group); break;
                case Item::Kind::choice:
                case Item::Kind::command: {
                    QAction* action = menu.addAction(item.title);
                    if (item.kind == Item::Kind::choice) {
                        action->setCheckable(true);
                        action->setActionGroup(group);
                        action->setChecked(item.checked);
                    }
                    action->setEnabled(item.enabled);
                    QObject::connect(action, &QAction::triggered, action, item.action);
                    break;
                }
            }
        }
    }
};

}  // namespace norvo
