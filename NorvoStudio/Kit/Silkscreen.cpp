#include "Silkscreen.hpp"

#include "KitColor.hpp"
#include "KitFont.hpp"

#include <QFontMetricsF>

namespace norvo {

QFont Silkscreen::font() const { return KitFont::silkscreen(size); }

QColor Silkscreen::ink() const {
    return lettering == Lettering::dark ? KitColor::silkscreenDark : KitColor::silkscreenLight;
}

QSizeF Silkscreen::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void Silkscreen::paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment) const {
    painter.save();
    painter.setFont(font());
    painter.setPen(ink());
    painter.drawText(rect, int(alignment) | Qt::TextSingleLine, text);
    painter.restore();
}

void Silkscreen::paintAtBaseline(QPainter& painter, QPointF baselineOrigin) const {
    painter.save();
    painter.setFont(font());
    painter.setPen(ink());
    painter.drawText(baselineOrigin, text);
    painter.restore();
}

}  // namespace norvo
