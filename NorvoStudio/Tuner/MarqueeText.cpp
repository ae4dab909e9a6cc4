#include "Tuner/MarqueeText.hpp"

#include <QFontMetricsF>
#include <cmath>

#include "Rack/Kit/GlowText.hpp"

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
}

bool MarqueeText::moving(qreal size, bool lit, double boxWidth) const {
    if (!lit) return false;  // asked every frame: no text measuring while dark
    return scrolls(lit, GlowText{text_, size, QColor(), lit}.sizeHint().width(), boxWidth);
}

void MarqueeText::paint(QPainter& painter, const QRectF& box, qreal size, const QColor& color, bool lit,
                        double now) const {
    const GlowText glow{text_, size, color, lit};
    const double width = glow.sizeHint().width();
    painter.save();
    painter.setClipRect(box);
    if (!scrolls(lit, width, box.width())) {
        glow.paint(painter, box, Qt::AlignLeft | Qt::AlignVCenter);
    } else {
        // A picture per position would never be shown again: drawn straight, over the glow
        // that is kept once for the text.
        const double shift = offset(now - start_, width);
        const QFontMetricsF metrics(glow.font());
        const QPointF baseline(box.left() + shift, box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent());
        glow.paintAtBaseline(painter, baseline);
        glow.paintAtBaseline(painter, baseline + QPointF(width + gap, 0));
    }
    painter.restore();
}

}  // namespace norvo
