#pragma once
#include "Lettering.hpp"

#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace norvo {

// Panel lettering: the system font, semibold, expanded width, tracking 1.2, in light ink on
// dark panels or dark ink on light metal. The text is drawn verbatim.
struct Silkscreen {
    QString text;
    qreal size = 8;
    Lettering lettering = Lettering::light;

    QFont font() const;
    QColor ink() const;
    // The text's natural size (one line, no wrapping).
    QSizeF sizeHint() const;
    // Draws the text inside `rect` at `alignment` (vertically centred by default).
    void paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment = Qt::AlignCenter) const;
    // Draws the text with its baseline starting at `baselineOrigin` (for baseline-aligned rows).
    void paintAtBaseline(QPainter& painter, QPointF baselineOrigin) const;
};

}  // namespace norvo
