#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

#include "RecentPictures.hpp"

namespace norvo {

// Fluorescent display text: monospaced, medium weight; lit it glows in its colour (a blur of
// radius 3 at 0.7), unlit it stays faintly visible at 0.12 with no glow. One line, cut with a
// trailing ellipsis when longer than its space. The text is drawn verbatim.
struct GlowText {
    // A readout changes as the studio runs (counter, times, titles): its pictures are kept only
    // while recent. Lettering (side letters, fixed messages) looks the same at every repaint and
    // is kept with the kit's lasting pictures.
    enum class Use { readout, lettering };

    QString text;
    qreal size = 12;
    QColor color;
    bool lit = true;
    Use use = Use::readout;

    static constexpr qreal glowRadius = 3;

    QFont font() const;
    // Where its pictures are kept, by its use.
    PictureLife life() const;
    QColor ink() const;
    // The text's natural size (one line).
    QSizeF sizeHint() const;
    // Draws the text (and its glow) inside `rect` at `alignment`, elided to the rect's width.
    void paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) const;
    // Draws it with its baseline starting at `baselineOrigin`, not elided. Given `letters`, the
    // letters stay inside it (a line moving through its box) while the glow spreads as far as
    // the painter's clip allows.
    void paintAtBaseline(QPainter& painter, QPointF baselineOrigin, std::optional<QRectF> letters = std::nullopt) const;
};

}  // namespace norvo
