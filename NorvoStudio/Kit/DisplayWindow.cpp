#include "DisplayWindow.hpp"

#include "KitColor.hpp"
#include "KitShadow.hpp"

#include <QLinearGradient>
#include <QPainterPath>

namespace norvo {

namespace {
QPainterPath glassShape(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, DisplayWindow::cornerRadius, DisplayWindow::cornerRadius);
    return path;
}
}  // namespace

void DisplayWindow::paintGlass(QPainter& painter, const QRectF& window) {
    if (window.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF local(QPointF(), window.size());
    KitShadow::paint(painter, QStringLiteral("glass|%1x%2").arg(window.width()).arg(window.height()), local,
                     KitColor::white(0.0, 0.9), 2, window.topLeft() + QPointF(0, 1),
                     [&](QPainter& p) { p.fillPath(glassShape(local), Qt::black); });
    const QPainterPath glass = glassShape(window);
    painter.fillPath(glass, KitColor::displayGlass);
    // The glare fades out by the window's vertical centre.
    QLinearGradient glare(0, window.top(), 0, window.center().y());
    glare.setColorAt(0, KitColor::white(1.0, 0.07));
    glare.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillPath(glass, glare);
    painter.restore();
}

void DisplayWindow::clipToGlass(QPainter& painter, const QRectF& window, const QRectF& dirty) {
    const QRectF glass = glassRect(window);
    const qreal corner = cornerRadius - rimWidth;
    if (glass.adjusted(corner, 0, -corner, 0).contains(dirty) ||
        glass.adjusted(0, corner, 0, -corner).contains(dirty)) {
        painter.setClipRect(glass, Qt::IntersectClip);
        return;
    }
    QPainterPath shape;
    shape.addRoundedRect(glass, corner, corner);
    painter.setClipPath(shape, Qt::IntersectClip);
}

void DisplayWindow::paintRim(QPainter& painter, const QRectF& window) {
    if (window.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal line = rimWidth;
    QPainterPath rim;
    rim.addRoundedRect(window.adjusted(line / 2, line / 2, -line / 2, -line / 2), cornerRadius - line / 2,
                       cornerRadius - line / 2);
    painter.strokePath(rim, QPen(KitColor::white(0.0, 0.8), line));
    painter.restore();
}

}  // namespace norvo
