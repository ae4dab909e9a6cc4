#include "Tuner/MarqueeText.hpp"

#include <QFontMetricsF>
#include <cmath>

#include "Kit/GlowText.hpp"

namespace norvo {

double MarqueeText::offset(double elapsed, double textWidth) {
    const double t = std::fmod(elapsed, cycle(textWidth));
    if (!(t >= pause)) return 0;  // also a clock that went back
    return -(t - pause) * speed;
}

void MarqueeText::setText(const QString& text, double now) {
    if (started_ && text == text_) return;
    text_ = text;
    start_ = now;
    started_ = true;
    measured_.reset();
}

bool MarqueeText::moving(qreal size, bool lit, double boxWidth) const {
    if (!lit) return false;  // asked every frame: no text measuring while dark
    // Asked every frame while lit, so the text is measured once per text and size.
    if (!measured_ || measured_->size != size)
        measured_ = Width{size, GlowText{text_, size, QColor(), lit}.sizeHint().width()};
    return scrolls(lit, measured_->width, boxWidth);
}

void MarqueeText::paint(QPainter& painter, const QString& text, const QRectF& box, qreal size, const QColor& color,
                        bool lit, double elapsed) {
    const GlowText glow{text, size, color, lit};
    const double width = glow.sizeHint().width();
    if (!scrolls(lit, width, box.width())) {
        // Elided to the box, so only the glow reaches past it.
        glow.paint(painter, box, Qt::AlignLeft | Qt::AlignVCenter);
        return;
    }
    // A picture per position would never be shown again: drawn straight, over the glow that is
    // kept once for the text.
    const double shift = offset(elapsed, width);
    const QFontMetricsF metrics(glow.font());
    const QPointF baseline(box.left() + shift, box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent());
    // The glow reaches past a side of the box only while no letter is hidden there: a letter cut
    // by the box loses its glow with it, as behind the edge of a mask.
    const qreal reach = 3 * GlowText::glowRadius + 1;
    const auto lettersWithin = [&](qreal from, qreal to) {
        for (const double start : {baseline.x(), baseline.x() + width + gap})
            if (start < to && start + width > from) return true;
        return false;
    };
    const qreal left = lettersWithin(box.left() - reach, box.left()) ? box.left() : box.left() - reach;
    const qreal right = lettersWithin(box.right(), box.right() + reach) ? box.right() : box.right() + reach;
    painter.save();
    painter.setClipRect(QRectF(left, box.top() - reach, right - left, box.height() + 2 * reach), Qt::IntersectClip);
    glow.paintAtBaseline(painter, baseline, box);
    glow.paintAtBaseline(painter, baseline + QPointF(width + gap, 0), box);
    painter.restore();
}

}  // namespace norvo
