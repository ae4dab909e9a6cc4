#include "StudioCommands.hpp"

namespace norvo {

namespace {

int index(StudioCommands::Id id) { return static_cast<int>(id); }

StudioCommands::Id offset(StudioCommands::Id first, int slot) {
    return static_cast<StudioCommands::Id>(index(first) + slot);
}

}  // namespace

QKeySequence StudioCommands::shortcut(Id id) {
    using K = QKeyCombination;
    constexpr auto ctrl = Qt::ControlModifier;
    constexpr auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    constexpr auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    switch (id) {
    case Id::newC60: return K(ctrl, Qt::Key_N);
    case Id::openCassette: return K(ctrl, Qt::Key_O);
    case Id::addMusic: return K(ctrlShift, Qt::Key_O);
    case Id::saveCassette: return K(ctrl, Qt::Key_S);
    case Id::saveCassetteAs: return K(ctrlShift, Qt::Key_S);
    case Id::ejectCassette: return K(ctrl, Qt::Key_E);
    case Id::quit: return K(ctrl, Qt::Key_Q);
    case Id::play: return K(ctrlAlt, Qt::Key_P);
    case Id::record: return K(ctrlAlt, Qt::Key_R);
    case Id::stop: return K(ctrl, Qt::Key_Period);
    case Id::flip: return K(ctrlAlt, Qt::Key_F);
    case Id::inputPlayer: return K(ctrlAlt, Qt::Key_1);
    case Id::inputTuner: return K(ctrlAlt, Qt::Key_2);
    // Ctrl+Alt+D shows the desktop on several Linux desktops.
    case Id::designCassette: return K(ctrlShift, Qt::Key_D);
    case Id::nextTrack: return K(ctrl, Qt::Key_Right);
    case Id::previousTrack: return K(ctrl, Qt::Key_Left);
    // Ctrl+Alt+T opens a terminal and Ctrl+Alt+arrows switch workspaces.
    case Id::tunerPower: return K(ctrlShift, Qt::Key_T);
    case Id::nextStation: return K(ctrlShift, Qt::Key_Right);
    case Id::previousStation: return K(ctrlShift, Qt::Key_Left);
    default: break;
    }
    if (index(id) >= index(Id::preset1) && index(id) <= index(Id::preset8))
        return K(ctrl, static_cast<Qt::Key>(Qt::Key_1 + index(id) - index(Id::preset1)));
    return {};
}

QString StudioCommands::shortcutText(Id id) { return shortcut(id).toString(QKeySequence::NativeText); }

QString StudioCommands::helpText(const QString& text, Id id) {
    const QString keys = shortcutText(id);
    return keys.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, keys);
}

StudioCommands::Id StudioCommands::presetId(int slot) { return offset(Id::preset1, slot); }
StudioCommands::Id StudioCommands::storeId(int slot) { return offset(Id::store1, slot); }

QString StudioCommands::menuText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return shown;
}

}  // namespace norvo
