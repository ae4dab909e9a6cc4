#include "FLMeterScale.hpp"

#include "FLMeterBar.hpp"
#include "KitColor.hpp"
#include "KitFont.hpp"

#include <cmath>

namespace norvo {

QString FLMeterScale::figure(double mark) {
    if (mark == 0) return QStringLiteral("0");
    const long long n = static_cast<long long>(mark);
    if (n % 10 == 0 || mark == 3 || mark == -5) return QString::asprintf("%lld", n);
    return {};
}

QColor FLMeterScale::color(double mark) {
    return mark >= 0 ? KitColor::faded(KitColor::ledRed, 0.8) : KitColor::faded(KitColor::displayCyan, 0.6);
}

ExactFont FLMeterScale::font() {
    return ExactFont(6.5, [](qreal size) { return KitFont::monospaced(size, QFont::Medium); });
}

qreal FLMeterScale::height() { return font().height(); }

void FLMeterScale::paint(QPainter& painter, const QRectF& rect) {
    painter.save();
    const ExactFont figures = font();
    // The columns are the bar's segments, so each figure stands over its own segment.
    const auto columns = FLMeterBar::segmentRects(rect);
    for (size_t i = 0; i < FLMeterBar::marks.size(); ++i) {
        const double mark = FLMeterBar::marks[i];
        const QString text = figure(mark);
        if (text.isEmpty()) continue;
        painter.setPen(color(mark));
        figures.draw(painter, QRectF(columns[i].left(), rect.top(), columns[i].width(), rect.height()),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
    }
    painter.restore();
}

}  // namespace norvo
