#pragma once
#include <memory>
#include <vector>

#include <QObject>

#include "StudioModel/StudioCommands.hpp"

class QAction;
class QActionGroup;
class QMenu;

namespace norvo {

class StudioModel;

// Every command of the File, Deck, Player and Tuner menus as one QAction each, with its
// shortcut (from StudioCommands), title, check mark and enabled state kept in step with
// the model. The menu bar shows them.
class StudioActions final : public QObject {
    Q_OBJECT
public:
    using Id = StudioCommands::Id;

    explicit StudioActions(StudioModel& model, QObject* parent = nullptr);
    ~StudioActions() override;

    QAction* action(Id id) const;
    // The submenus behind newCassetteMenu, tapeSoundMenu and storeMenu.
    QMenu* newCassetteMenu() const { return newCassetteMenu_.get(); }
    QMenu* tapeSoundMenu() const { return tapeSoundMenu_.get(); }
    QMenu* storeMenu() const { return storeMenu_.get(); }

    // Re-reads titles, check marks and enabled states from the model and the tuner.
    void refresh();

signals:
    // Quit chosen: the application runs its quit decision.
    void quitRequested();

private:
    QAction* make(Id id, const QString& title);
    void bind();

    StudioModel& model_;
    std::vector<QAction*> actions_;
    QActionGroup* inputGroup_ = nullptr;
    std::unique_ptr<QMenu> newCassetteMenu_;
    std::unique_ptr<QMenu> tapeSoundMenu_;
    std::unique_ptr<QMenu> storeMenu_;
};

}  // namespace norvo
