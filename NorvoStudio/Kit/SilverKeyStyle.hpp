#pragma once
#include "KeyLabel.hpp"

#include <QColor>
#include <QPainter>
#include <QPointF>

namespace norvo {

// The player's silver key: `width` by 36, a light metal gradient that darkens at the top and
// sinks one point while pressed, and green ink while lit. The label keeps its own fonts
// (default: system 7, semibold, expanded); only the ink comes from the style. A key that
// cannot be pressed now dims its label.
struct SilverKeyStyle {
    qreal width = 56;
    bool lit = false;

    static constexpr qreal height = 36;
    static constexpr qreal cornerRadius = 5;

    static QFont font();
    QColor ink() const;
    void paint(QPainter& painter, QPointF topLeft, bool pressed, const KeyLabel& label, bool enabled = true) const;
};

}  // namespace norvo
