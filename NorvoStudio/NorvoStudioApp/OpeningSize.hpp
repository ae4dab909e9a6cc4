#pragma once
#include <QMargins>
#include <QSize>
#include <optional>

namespace norvo {

// The size the studio's window opens at. The size the user last left it at, else the default,
// each side kept where it fits the screen's free area with the window manager's frame around
// it and cut to that area where it does not; never below the least the window allows, since
// the rack scales down to any size in between.
struct OpeningSize {
    QSize available;  // the screen's area free of panels and docks
    QMargins frame;   // the window manager's frame, once it is known
    std::optional<QSize> saved;
    QSize preferred;
    QSize minimum;

    QSize fitted() const;
};

}  // namespace norvo
