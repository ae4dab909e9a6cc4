#pragma once
#include <memory>
#include <vector>

#include <QKeySequence>
#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;

namespace norvo {

class StudioModel;

// Every command of the File, Deck, Player and Tuner menus as one QAction each, with its
// shortcut, title, check mark and enabled state kept in step with the model. The menu
// bar shows them; faces that name a shortcut in a help text take it from here, so the
// text and the binding never disagree.
class StudioActions final : public QObject {
    Q_OBJECT
public:
    enum class Id {
        // File
        newCassetteMenu, newC46, newC60, newC90, newC120,
        openCassette, addMusic, saveCassette, saveCassetteAs, ejectCassette, quit,
        // Deck
        play, record, stop, flip, inputPlayer, inputTuner, tapeSoundMenu, resetCounter, designCassette,
        // Player
        playerPlayPause, playerStop, nextTrack, previousTrack,
        // Tuner
        tunerPower, nextStation, previousStation,
        preset1, preset2, preset3, preset4, preset5, preset6, preset7, preset8,
        storeMenu, store1, store2, store3, store4, store5, store6, store7, store8,
        muting,
    };
    static constexpr int idCount = static_cast<int>(Id::muting) + 1;

    // The key binding of a command (empty when it has none). Command is Ctrl and Option
    // is Alt; chords the desktop keeps for itself (Ctrl+Alt+T, Ctrl+Alt+arrows,
    // Ctrl+Alt+D) use Ctrl+Shift instead.
    static QKeySequence shortcut(Id id);
    // The binding as the desktop writes it ("Ctrl+E"), for help texts.
    static QString shortcutText(Id id);
    // A help text naming a command's binding: "Eject the cassette (Ctrl+E)".
    static QString helpText(const QString& text, Id id);
    // Preset slots counted from 0.
    static Id presetId(int slot);
    static Id storeId(int slot);
    // Text as a menu shows it: "&" stays an ampersand, a tab does not start a shortcut.
    static QString menuText(const QString& text);

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
