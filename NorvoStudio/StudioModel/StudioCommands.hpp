#pragma once
#include <QKeySequence>
#include <QString>

namespace norvo {

// Every command of the File, Deck, Player and Tuner menus, with its key binding. The menus
// bind the keys from here and the faces name them in their help texts from here, so the
// text and the binding never disagree.
struct StudioCommands {
    enum class Id {
        // File
        newCassetteMenu,
        newC46,
        newC60,
        newC90,
        newC120,
        openCassette,
        addMusic,
        saveCassette,
        saveCassetteAs,
        ejectCassette,
        quit,
        // Deck
        play,
        record,
        stop,
        flip,
        inputPlayer,
        inputTuner,
        tapeSoundMenu,
        resetCounter,
        designCassette,
        // Player
        playerPlayPause,
        playerStop,
        nextTrack,
        previousTrack,
        // Tuner
        tunerPower,
        nextStation,
        previousStation,
        preset1,
        preset2,
        preset3,
        preset4,
        preset5,
        preset6,
        preset7,
        preset8,
        storeMenu,
        store1,
        store2,
        store3,
        store4,
        store5,
        store6,
        store7,
        store8,
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
};

}  // namespace norvo
