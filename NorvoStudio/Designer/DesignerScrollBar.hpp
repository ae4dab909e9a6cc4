#pragma once

class QScrollBar;

namespace norvo {

// The designer's scroll bars: a thin rounded handle on a clear track, no trough and no
// arrows, so that a bar fits the column it scrolls (the brown preview, the light form).
struct DesignerScrollBar {
    enum class Surface { dark, light };
    // `track` is the bar's thickness, the handle 6 wide in its middle.
    static void dress(QScrollBar* bar, Surface surface, int track);
};

}  // namespace norvo
