#include "Tuner/DialScale.hpp"

#include <QFontMetricsF>
#include <QPainterPath>

#include "Kit/ExactFont.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/KitShadow.hpp"

namespace norvo {

qreal DialScale::tickX(int tick, qreal width) { return margin + tick * (width - 2 * margin) / 20; }

qreal DialScale::stationX(double station, int count, qreal width) {
    const qreal span = width - 2 * margin;
    if (count == 1) return margin + span / 2;
    return margin + station * span / (count - 1);
}

void DialScale::paint(QPainter& painter, const QRectF& rect, double needle) const {
    painter.save();
    painter.translate(rect.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = rect.width();
    const QColor scale = KitColor::faded(KitColor::displayCyan, lit ? 0.55 : 0.12);

    painter.setPen(QPen(scale, 0.8));
    painter.drawLine(QPointF(margin, 20), QPointF(w - margin, 20));
    const ExactFont numbers(6.5, [](qreal size) { return KitFont::monospaced(size, QFont::Medium); });
    for (int i = 0; i <= 20; ++i) {
        const qreal x = tickX(i, w);
        const bool even = i % 2 == 0;
        painter.setPen(QPen(scale, even ? 1.0 : 0.6));
        painter.drawLine(QPointF(x, even ? 13 : 16), QPointF(x, 20));
        if (even) {
            const QString label = QString::number(5 * i);
            const qreal baseline = 5 + (numbers.ascent() - numbers.descent()) / 2;
            numbers.draw(painter, QPointF(x - numbers.horizontalAdvance(label) / 2, baseline), label);
        }
    }

    if (count > 0 && !scanning) {
        painter.setPen(QPen(KitColor::faded(KitColor::displayCyan, lit ? 0.35 : 0.08), 0.7));
        for (int j = 0; j < count; ++j) {
            const qreal x = stationX(j, count, w);
            painter.drawLine(QPointF(x, 21.5), QPointF(x, 24));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(KitColor::faded(KitColor::amber, lit ? 0.9 : 0.15));
        for (int j : presets)
            if (j >= 0 && j < count) painter.drawEllipse(QRectF(stationX(j, count, w) - 1.6, 25.5, 3.2, 3.2));
    }

    if (position && count > 0) {
        const QRectF capsule(stationX(needle, count, w) - 1, 6, 2, 22);
        QPainterPath path;
        path.addRoundedRect(capsule, 1, 1);
        KitShadow::paint(painter, QStringLiteral("dial-needle"), capsule.adjusted(-9, -9, 9, 9),
                         KitColor::faded(KitColor::ledRed, 0.9), 3, QPointF(),
                         [&](QPainter& p) { p.fillPath(path, Qt::black); });
        painter.fillPath(path, KitColor::ledRed);
    }

    if (scanning) {
        const GlowText message{QStringLiteral("SCANNING THE BAND\u2026"), 9, KitColor::displayCyan, scanningLit,
                               GlowText::Use::lettering};
        const QSizeF size = message.sizeHint();
        message.paint(painter,
                      QRectF((w - size.width()) / 2, rect.height() - size.height(), size.width() + 1, size.height()),
                      Qt::AlignCenter);
    }
    painter.restore();
}

}  // namespace norvo
