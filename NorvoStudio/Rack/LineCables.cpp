#include "LineCables.hpp"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>

namespace norvo {

QPainterPath CableCurve::path() const {
    QPainterPath p(start);
    p.cubicTo(control1, control2, end);
    return p;
}

namespace {

const QColor cableRed = QColor::fromRgbF(0.75f, 0.1f, 0.1f);
const QColor cableWhite = QColor::fromRgbF(0.92f, 0.92f, 0.92f);

// The second cable of a pair hangs 7 points lower and bends a little further left.
CableCurve cable(QPointF p, QPointF c1, QPointF c2, QPointF q, int index) {
    const double o = 7.0 * index;
    return {QPointF(p.x(), p.y() + o), QPointF(c1.x() - 0.3 * o, c1.y() + o), QPointF(c2.x() - 0.3 * o, c2.y() + o),
            QPointF(q.x(), q.y() + o), index == 0 ? cableRed : cableWhite};
}

}  // namespace

std::array<CableCurve, 4> cableCurves(const QRectF& player, const QRectF& deck, const QRectF& tuner) {
    const double span = deck.left() - player.right();

    const QPointF playerP(player.right() - 8, deck.bottom() - 120);
    const QPointF playerQ(deck.left() + 8, deck.bottom() - 150);
    const QPointF playerC1(player.right() + 0.35 * span, deck.bottom() + 10);
    const QPointF playerC2(deck.left() - 0.2 * span, deck.bottom() - 40);

    const QPointF tunerP(tuner.left() + 8, tuner.top() + 70);
    const QPointF tunerQ(deck.left() + 8, deck.bottom() - 70);
    const QPointF tunerC1(tuner.left() - 0.9 * span, tuner.top() + 64);
    const QPointF tunerC2(deck.left() - 0.9 * span, deck.bottom() - 30);

    return {cable(playerP, playerC1, playerC2, playerQ, 0), cable(playerP, playerC1, playerC2, playerQ, 1),
            cable(tunerP, tunerC1, tunerC2, tunerQ, 0), cable(tunerP, tunerC1, tunerC2, tunerQ, 1)};
}

void paintCables(QPainter& painter, const std::array<CableCurve, 4>& cables) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    auto stroke = [&](const QPainterPath& path, QColor colour, double width) {
        QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        painter.setPen(pen);
        painter.drawPath(path);
    };
    for (const auto& c : cables) {
        const QPainterPath path = c.path();
        stroke(path, QColor::fromRgbF(0, 0, 0, 0.45f), 6.5);
        stroke(path, c.colour, 4);
        stroke(path, QColor::fromRgbF(1, 1, 1, 0.22f), 1);
    }
    painter.restore();
}

LineCables::LineCables(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void LineCables::setFrames(std::optional<QRectF> player, std::optional<QRectF> deck, std::optional<QRectF> tuner) {
    std::optional<std::array<CableCurve, 4>> next;
    if (player && deck && tuner) next = cableCurves(*player, *deck, *tuner);
    cables_ = next;
    picture_ = QPixmap();
    update();
}

void LineCables::paintEvent(QPaintEvent* event) {
    if (!cables_) return;
    const double ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (picture_.isNull() || picture_.size() != pixels || picture_.devicePixelRatio() != ratio) {
        picture_ = QPixmap(pixels);
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter cache(&picture_);
        paintCables(cache, *cables_);
    }
    QPainter painter(this);
    for (const QRect& dirty : event->region())
        painter.drawPixmap(dirty, picture_, QRectF(QPointF(dirty.topLeft()) * ratio, QSizeF(dirty.size()) * ratio));
}

}  // namespace norvo
