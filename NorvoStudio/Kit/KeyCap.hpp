#pragma once
#include "KeyLabel.hpp"

#include <QColor>
#include <QMargins>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <optional>

namespace norvo {

// The drawn dark push key: a rounded body with a vertical grey gradient and a shadow, a faint
// bevel, and the label in the key font (system 9, semibold, expanded) in the accent colour or
// white 0.85. Down, the body darkens and inverts, the shadow shrinks and the key sinks 1.5.
// A key that cannot be pressed now keeps its body and dims its label.
struct KeyCap {
    bool down = false;
    std::optional<QColor> accent = std::nullopt;
    qreal width = 64;
    qreal height = 38;
    KeyLabel label;
    bool enabled = true;

    static constexpr qreal cornerRadius = 4;
    static constexpr qreal sink = 1.5;
    static constexpr int animationMilliseconds = 60;

    static QFont font();
    QColor ink() const;

    // Draws the key whose layout rectangle starts at `topLeft` (it sinks below it when down).
    void paint(QPainter& painter, QPointF topLeft) const;
    // The same with the press depth between up (0) and down (1), for the animated change.
    void paint(QPainter& painter, QPointF topLeft, qreal depth) const;

    // Room a key widget leaves around its key for the shadow and the sink.
    static QMargins widgetMargins() { return QMargins(5, 4, 5, 8); }
};

}  // namespace norvo
