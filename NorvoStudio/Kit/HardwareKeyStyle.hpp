#pragma once
#include "KeyCap.hpp"

namespace norvo {

// The dark key style of the deck and the tuner: a KeyCap drawn down while the key is pressed
// or latched (a selected input, an engaged function).
struct HardwareKeyStyle {
    bool latched = false;
    std::optional<QColor> accent = std::nullopt;
    qreal width = 64;
    qreal height = 38;

    KeyCap keyCap(bool pressed, KeyLabel label, bool enabled = true) const {
        return KeyCap{pressed || latched, accent, width, height, std::move(label), enabled};
    }
    void paint(QPainter& painter, QPointF topLeft, bool pressed, const KeyLabel& label, bool enabled = true) const {
        keyCap(pressed, label, enabled).paint(painter, topLeft);
    }
};

}  // namespace norvo
