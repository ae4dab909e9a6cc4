#pragma once

class QMenuBar;

namespace norvo {

class StudioActions;

// Lays the studio's actions out as the menus File, Deck, Player and Tuner.
struct StudioMenuBar {
    static void build(QMenuBar& bar, StudioActions& actions);
};

}  // namespace norvo
