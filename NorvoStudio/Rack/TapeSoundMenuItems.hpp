#pragma once

class QMenu;

namespace norvo {

class StudioModel;

// The content of a Tape Sound menu: "Clean", the built-in and the imported profiles as
// one exclusive choice with the selected one checked, then import, export and the
// removal of imported profiles. The Deck menu's submenu and the deck face's menu are
// both filled here, from the model alone, so the two never differ.
class TapeSoundMenuItems {
public:
    // Replaces the menu's content with the model's current library.
    static void fill(QMenu& menu, StudioModel& model);
    // Fills the menu now and again each time it is about to show.
    static void attach(QMenu& menu, StudioModel& model);
};

}  // namespace norvo
