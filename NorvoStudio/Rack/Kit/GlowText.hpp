#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace norvo {

// Fluorescent display text: monospaced, medium weight; lit it glows in its colour (a blur of
// radius 3 at 0.7), unlit it stays faintly visible at 0.12 with no glow. One line, cut with a
// trailing ellipsis when longer than its space. The text is drawn verbatim.
struct GlowText {
    QString text;
    qreal size = 12;
    QColor color;
    bool lit = true;

    static constexpr qreal glowRadius = 3;

    QFont font() const;
    QColor ink() const;
    // The text's natural size (one line).
    QSizeF sizeHint() const;
    // Draws the text (and its glow) inside `rect` at `alignment`, elided to the rect's width.
    void paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) const;
    // Draws it with its baseline starting at `baselineOrigin`, not elided.
    void paintAtBaseline(QPainter& painter, QPointF baselineOrigin) const;
};

}  // namespace norvo
