#include "Tuner/Spinner.hpp"

#include <QPen>
#include <cmath>

namespace norvo {

void Spinner::paint(QPainter& painter, QPointF centre, const QColor& color, int phase) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 8; ++i) {
        const double angle = i * M_PI / 4;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        const int age = (phase - i + 8) % 8;
        QColor spoke = color;
        spoke.setAlphaF(float(color.alphaF() * (1.0 - age * 0.1)));
        painter.setPen(QPen(spoke, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre + direction * (radius * 0.5), centre + direction * radius);
    }
    painter.restore();
}

}  // namespace norvo
