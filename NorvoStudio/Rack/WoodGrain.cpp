#include "WoodGrain.hpp"

#include "Kit/KitColor.hpp"
#include "Kit/XorShiftRandom.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPen>

namespace norvo {

std::vector<WoodGrainLine> WoodGrain::lines(QSizeF size) {
    std::vector<WoodGrainLine> result;
    const double w = size.width();
    const double h = size.height();
    XorShiftRandom random(0xCC623AF8783354E7ULL);
    // The six draws of a line are taken in this order, each with its range's fixed width.
    for (double y = 0; y < h;) {
        WoodGrainLine line;
        line.y = y;
        line.width = random.draw(1, 4, 3);
        line.opacity = random.draw(0.02, 0.07, 0.05);
        const double endY = y + random.draw(-8, 8, 16);
        const double c1Y = y + random.draw(-10, 10, 20);
        const double c2Y = y + random.draw(-10, 10, 20);
        line.path.moveTo(0, y);
        line.path.cubicTo(0.3 * w, c1Y, 0.7 * w, c2Y, w, endY);
        result.push_back(std::move(line));
        y += random.draw(3, 9, 6);
    }
    return result;
}

void WoodGrain::paint(QPainter& painter, QSizeF size) {
    painter.save();
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, KitColor::studioBrown);
    gradient.setColorAt(1, KitColor::studioBrownDark);
    painter.fillRect(QRectF(QPointF(0, 0), size), gradient);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (const auto& line : lines(size)) {
        painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, float(line.opacity)), line.width));
        painter.drawPath(line.path);
    }
    painter.restore();
}

QPixmap WoodGrain::pixmap(QSizeF size, double devicePixelRatio) {
    if (cache_.isNull() || cachedSize_ != size || cachedRatio_ != devicePixelRatio) {
        cache_ = QPixmap((size * devicePixelRatio).toSize());
        cache_.setDevicePixelRatio(devicePixelRatio);
        QPainter painter(&cache_);
        paint(painter, size);
        cachedSize_ = size;
        cachedRatio_ = devicePixelRatio;
    }
    return cache_;
}

}  // namespace norvo
