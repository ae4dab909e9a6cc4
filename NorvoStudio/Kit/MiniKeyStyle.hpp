#pragma once
#include "KeyLabel.hpp"

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace norvo {

// The station guide's small key: 20 high, as wide as it is given, lettering of system 7
// semibold expanded in white 0.8, or amber with an amber glow while lit; the dark cap inverts
// and sinks one point while pressed. A key that cannot be pressed now dims its lettering.
struct MiniKeyStyle {
    bool lit = false;

    static constexpr qreal height = 20;
    static constexpr qreal cornerRadius = 3;
    static constexpr qreal horizontalPadding = 4;
    static constexpr qreal glowRadius = 2;

    static QFont font();
    QColor ink() const;
    // Draws the key in `rect` (its height should be 20).
    void paint(QPainter& painter, const QRectF& rect, bool pressed, const KeyLabel& label, bool enabled = true) const;
};

}  // namespace norvo
