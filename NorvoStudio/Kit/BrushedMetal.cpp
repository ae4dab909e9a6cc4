#include "BrushedMetal.hpp"

#include "CachedDrawing.hpp"

#include "KitColor.hpp"
#include "KitShadow.hpp"
#include "XorShiftRandom.hpp"

#include <QLinearGradient>
#include <QPixmap>
#include <QPixmapCache>
#include <cmath>

namespace norvo {

std::vector<BrushedMetal::Streak> BrushedMetal::streaks(double height) {
    std::vector<Streak> result;
    if (!(height > 0)) return result;
    XorShiftRandom random(seed);
    double y = 0;
    while (y < height) {
        Streak streak;
        streak.y = y;
        // The order of the draws is part of the look: opacity, coin, spacing.
        streak.opacity = random.draw(0.02, 0.09);
        streak.white = random.coin();
        result.push_back(streak);
        y += random.draw(0.7, 1.6);
    }
    return result;
}

QColor BrushedMetal::base() const { return dark ? KitColor::white(0.18) : tint; }

void BrushedMetal::draw(QPainter& painter, QSizeF size) const {
    const QColor color = base();
    painter.save();
    painter.setPen(Qt::NoPen);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0.0, KitColor::faded(color, 1.0));
    gradient.setColorAt(0.5, KitColor::faded(color, 0.86));
    gradient.setColorAt(1.0, KitColor::faded(color, 0.95));
    painter.fillRect(QRectF(QPointF(0, 0), size), gradient);
    for (const Streak& streak : streaks(size.height()))
        painter.fillRect(QRectF(0, streak.y, size.width(), 0.6),
                         streak.white ? KitColor::white(1.0, streak.opacity) : KitColor::white(0.0, streak.opacity));
    painter.restore();
}

void BrushedMetal::paint(QPainter& painter, const QRectF& rect) const {
    if (rect.isEmpty()) return;
    paintCachedDrawing(
        painter,
        QStringLiteral("metal|%1|%2x%3").arg(QString::number(base().rgba64(), 16)).arg(rect.width()).arg(rect.height()),
        rect, [this](QPainter& p, QSizeF size) { draw(p, size); });
}

}  // namespace norvo
