#include "Tuner/SignalMeter.hpp"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "Kit/KitColor.hpp"
#include "Kit/KitShadow.hpp"

namespace norvo {

int SignalMeter::litSegments(double level, bool lit) {
    if (!lit || !(level > 0)) return 0;
    if (level >= 1) return 5;
    return std::clamp(int(std::ceil(level * 5)), 1, 5);
}

void SignalMeter::paint(QPainter& painter, QPointF topLeft) const {
    const int n = litSegments(level, lit);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 5; ++i) {
        const qreal h = 4 + 3 * i;
        const QRectF segment(topLeft.x() + i * 6, topLeft.y() + height - h, 4, h);
        QPainterPath path;
        path.addRoundedRect(segment, 0.8, 0.8);
        if (i < n) {
            KitShadow::paint(painter, QStringLiteral("signal-%1").arg(i), segment.adjusted(-6, -6, 6, 6),
                             KitColor::faded(KitColor::displayCyan, 0.7), 2, QPointF(),
                             [&](QPainter& p) { p.fillPath(path, Qt::black); });
            painter.fillPath(path, KitColor::displayCyan);
        } else {
            painter.fillPath(path, KitColor::faded(KitColor::displayCyan, 0.12));
        }
    }
    painter.restore();
}

}  // namespace norvo
