#include "SystemSymbol.hpp"

#include "KitPicture.hpp"

#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtMath>
#include <map>

namespace norvo {

namespace {

using Function = void (*)(QPainter&, const QRectF&, const QColor&, qreal);

struct Entry {
    Function draw;
    qreal aspect;  // width over height
    qreal height;  // height over the font size
};

const std::map<QString, Entry>& table() {
    static const std::map<QString, Entry> entries{
        {"play.fill", {&SystemSymbol::playFill, 0.85, 0.9}},
        {"pause.fill", {&SystemSymbol::pauseFill, 0.8, 0.9}},
        {"stop.fill", {&SystemSymbol::stopFill, 1.0, 0.85}},
        {"eject.fill", {&SystemSymbol::ejectFill, 1.05, 0.9}},
        {"backward.fill", {&SystemSymbol::backwardFill, 1.6, 0.75}},
        {"forward.fill", {&SystemSymbol::forwardFill, 1.6, 0.75}},
        {"backward.end.fill", {&SystemSymbol::backwardEndFill, 0.95, 0.85}},
        {"forward.end.fill", {&SystemSymbol::forwardEndFill, 0.95, 0.85}},
        {"circle.fill", {&SystemSymbol::circleFill, 1.0, 0.95}},
        {"plus", {&SystemSymbol::plus, 1.0, 0.9}},
        {"power", {&SystemSymbol::power, 1.0, 1.0}},
        {"arrow.triangle.2.circlepath", {&SystemSymbol::arrowTriangle2Circlepath, 1.25, 0.9}},
        {"lock.fill", {&SystemSymbol::lockFill, 0.75, 1.0}},
        {"lock.open", {&SystemSymbol::lockOpen, 0.95, 1.0}},
        {"bandage.fill", {&SystemSymbol::bandageFill, 1.0, 1.0}},
        {"recordingtape", {&SystemSymbol::recordingtape, 2.3, 0.6}},
        {"opticaldisc", {&SystemSymbol::opticaldisc, 1.0, 1.0}},
        {"music.note.list", {&SystemSymbol::musicNoteList, 1.2, 0.95}},
        {"xmark.circle.fill", {&SystemSymbol::xmarkCircleFill, 1.0, 1.0}},
        {"checkmark.circle.fill", {&SystemSymbol::checkmarkCircleFill, 1.0, 1.0}},
        {"magnifyingglass", {&SystemSymbol::magnifyingglass, 1.0, 1.0}},
        {"wifi.exclamationmark", {&SystemSymbol::wifiExclamationmark, 1.35, 0.9}},
        {"antenna.radiowaves.left.and.right.slash", {&SystemSymbol::antennaRadiowavesLeftAndRightSlash, 1.5, 1.0}},
        {"radio", {&SystemSymbol::radio, 1.1, 1.0}},
        {"tray.and.arrow.down", {&SystemSymbol::trayAndArrowDown, 1.1, 1.0}},
        {"square.and.arrow.down", {&SystemSymbol::squareAndArrowDown, 0.85, 1.1}},
        {"paintpalette", {&SystemSymbol::paintpalette, 1.15, 0.95}},
    };
    return entries;
}

// A point of `box` at unit coordinates (fx, fy).
QPointF at(const QRectF& box, qreal fx, qreal fy) {
    return {box.left() + fx * box.width(), box.top() + fy * box.height()};
}

QPen linePen(const QColor& color, qreal stroke) {
    return QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Fills a polygon with slightly rounded corners (filled and outlined with a round join).
void fillRounded(QPainter& p, const QPolygonF& polygon, const QColor& color, qreal rounding) {
    p.setBrush(color);
    p.setPen(rounding > 0 ? QPen(color, rounding, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : QPen(Qt::NoPen));
    p.drawPolygon(polygon);
}

// A filled circle with `cut` (a stroked path) taken out of it, so the face shows through.
void circleWithCut(QPainter& p, const QRectF& box, const QColor& color, const QPainterPath& cut, qreal stroke) {
    const qreal side = qMin(box.width(), box.height());
    const QRectF circle(box.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    QPainterPath disc;
    disc.addEllipse(circle);
    QPainterPathStroker stroker;
    stroker.setWidth(stroke);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(disc.subtracted(stroker.createStroke(cut)));
}

QRectF square(const QRectF& box) {
    const qreal side = qMin(box.width(), box.height());
    return {box.center() - QPointF(side / 2, side / 2), QSizeF(side, side)};
}

void arrowHead(QPainter& p, QPointF tip, qreal angleDegrees, qreal length, const QColor& color) {
    // A filled triangle pointing along angleDegrees (0 = right, 90 = down).
    const qreal a = qDegreesToRadians(angleDegrees);
    const QPointF dir(std::cos(a), std::sin(a));
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = tip - dir * length;
    fillRounded(p, QPolygonF{tip, base + normal * length * 0.6, base - normal * length * 0.6}, color, length * 0.15);
}

}  // namespace

QStringList SystemSymbol::names() {
    QStringList list;
    for (const auto& [name, entry] : table()) list << name;
    return list;
}

bool SystemSymbol::exists(const QString& name) { return table().count(name) > 0; }

QSizeF SystemSymbol::size(const QString& name, qreal pointSize) {
    const auto it = table().find(name);
    if (it == table().end()) return {};
    const qreal h = pointSize * it->second.height;
    return {h * it->second.aspect, h};
}

qreal SystemSymbol::strokeWidth(qreal pointSize, QFont::Weight weight) {
    qreal factor = 0.085;
    if (weight <= QFont::Thin) factor = 0.045;
    else if (weight <= QFont::ExtraLight) factor = 0.055;
    else if (weight <= QFont::Light) factor = 0.065;
    else if (weight <= QFont::Normal) factor = 0.085;
    else if (weight <= QFont::Medium) factor = 0.1;
    else if (weight <= QFont::DemiBold) factor = 0.11;
    else if (weight <= QFont::Bold) factor = 0.13;
    else if (weight <= QFont::ExtraBold) factor = 0.15;
    else factor = 0.17;
    return pointSize * factor;
}

void SystemSymbol::paint(QPainter& painter, const QString& name, QPointF centre, qreal pointSize, QFont::Weight weight,
                         const QColor& color) {
    const QSizeF s = size(name, pointSize);
    if (s.isEmpty()) return;
    paint(painter, name, QRectF(centre - QPointF(s.width() / 2, s.height() / 2), s), color,
          strokeWidth(pointSize, weight));
}

void SystemSymbol::paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, qreal stroke) {
    const auto it = table().find(name);
    if (it == table().end()) return;
    // Symbols are strokes and fills of many small paths: drawn once per look and place.
    const QString key = QStringLiteral("symbol|%1|%2x%3|%4|%5")
                            .arg(name)
                            .arg(box.width())
                            .arg(box.height())
                            .arg(color.rgba64(), 0, 16)
                            .arg(stroke);
    const qreal spill = stroke + 1;
    KitPicture::paintShared(painter, box.adjusted(-spill, -spill, spill, spill), key, [&](QPainter& p) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        it->second.draw(p, box, color, stroke);
        p.restore();
    });
}

void SystemSymbol::playFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    fillRounded(p, QPolygonF{at(r, 0.05, 0), at(r, 1, 0.5), at(r, 0.05, 1)}, c, s * 0.8);
}

void SystemSymbol::pauseFill(QPainter& p, const QRectF& b, const QColor& c, qreal) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const qreal radius = b.width() * 0.07;
    p.drawRoundedRect(QRectF(at(b, 0.06, 0), at(b, 0.38, 1)), radius, radius);
    p.drawRoundedRect(QRectF(at(b, 0.62, 0), at(b, 0.94, 1)), radius, radius);
}

void SystemSymbol::stopFill(QPainter& p, const QRectF& b, const QColor& c, qreal) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const QRectF r = square(b);
    p.drawRoundedRect(r, r.width() * 0.16, r.width() * 0.16);
}

void SystemSymbol::ejectFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, 0);
    fillRounded(p, QPolygonF{at(r, 0, 0.62), at(r, 0.5, 0), at(r, 1, 0.62)}, c, s * 0.8);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(at(b, 0.0, 0.78), at(b, 1.0, 1.0)), b.height() * 0.05, b.height() * 0.05);
}

void SystemSymbol::backwardFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    fillRounded(p, QPolygonF{at(r, 0.5, 0), at(r, 0, 0.5), at(r, 0.5, 1)}, c, s * 0.8);
    fillRounded(p, QPolygonF{at(r, 1, 0), at(r, 0.5, 0.5), at(r, 1, 1)}, c, s * 0.8);
}

void SystemSymbol::forwardFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    fillRounded(p, QPolygonF{at(r, 0, 0), at(r, 0.5, 0.5), at(r, 0, 1)}, c, s * 0.8);
    fillRounded(p, QPolygonF{at(r, 0.5, 0), at(r, 1, 0.5), at(r, 0.5, 1)}, c, s * 0.8);
}

void SystemSymbol::backwardEndFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(at(b, 0, 0), at(b, 0.15, 1)), b.width() * 0.04, b.width() * 0.04);
    fillRounded(p, QPolygonF{at(r, 1, 0), at(r, 0.22, 0.5), at(r, 1, 1)}, c, s * 0.8);
}

void SystemSymbol::forwardEndFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(at(b, 0.85, 0), at(b, 1, 1)), b.width() * 0.04, b.width() * 0.04);
    fillRounded(p, QPolygonF{at(r, 0, 0), at(r, 0.78, 0.5), at(r, 0, 1)}, c, s * 0.8);
}

void SystemSymbol::circleFill(QPainter& p, const QRectF& b, const QColor& c, qreal) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(square(b));
}

void SystemSymbol::plus(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = square(b).adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(linePen(c, s));
    p.drawLine(at(r, 0.5, 0), at(r, 0.5, 1));
    p.drawLine(at(r, 0, 0.5), at(r, 1, 0.5));
}

void SystemSymbol::power(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = square(b).adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    const QRectF ring = r.adjusted(r.width() * 0.04, r.height() * 0.1, -r.width() * 0.04, 0);
    // An open ring, its gap at the top where the stem stands.
    p.drawArc(ring, (90 + 35) * 16, (360 - 70) * 16);
    p.drawLine(at(r, 0.5, 0), at(r, 0.5, 0.5));
}

void SystemSymbol::arrowTriangle2Circlepath(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const qreal head = b.height() * 0.28;
    const QRectF r = b.adjusted(head * 0.6, s / 2 + head * 0.25, -head * 0.6, -s / 2 - head * 0.25);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    // Upper arc runs left to right, lower arc right to left, each ending in a head.
    p.drawArc(r, 160 * 16, -125 * 16);
    p.drawArc(r, -20 * 16, -125 * 16);
    const QPointF centre = r.center();
    const qreal rx = r.width() / 2, ry = r.height() / 2;
    auto onArc = [&](qreal deg) {
        const qreal a = qDegreesToRadians(deg);
        return QPointF(centre.x() + rx * std::cos(a), centre.y() - ry * std::sin(a));
    };
    arrowHead(p, onArc(35) + QPointF(head * 0.35, head * 0.45), 60, head, c);
    arrowHead(p, onArc(215) - QPointF(head * 0.35, head * 0.45), 240, head, c);
}

void SystemSymbol::lockFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(at(b, 0, 0.44), at(b, 1, 1)), b.width() * 0.12, b.width() * 0.12);
    p.setPen(QPen(c, qMax(s, b.width() * 0.13), Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const qreal w = qMax(s, b.width() * 0.13);
    QPainterPath shackle;
    shackle.moveTo(at(b, 0.2, 0.46));
    shackle.lineTo(at(b, 0.2, 0.3));
    shackle.arcTo(QRectF(at(b, 0.2, 0.0 + w / b.height() / 2), at(b, 0.8, 0.6 - 0.0)), 180, -180);
    shackle.lineTo(at(b, 0.8, 0.46));
    p.drawPath(shackle);
}

void SystemSymbol::lockOpen(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    const QRectF body(at(b, 0, 0.44), at(b, 0.7, 1));
    p.drawRoundedRect(body.adjusted(s / 2, s / 2, -s / 2, -s / 2), b.width() * 0.08, b.width() * 0.08);
    QPainterPath shackle;
    shackle.moveTo(at(b, 0.52, 0.44));
    shackle.lineTo(at(b, 0.52, 0.26));
    shackle.arcTo(QRectF(at(b, 0.52, s / b.height() / 2), at(b, 1.0 - s / b.width() / 2, 0.52)), 180, -180);
    shackle.lineTo(at(b, 1.0 - s / b.width() / 2, 0.32));
    p.drawPath(shackle);
}

void SystemSymbol::bandageFill(QPainter& p, const QRectF& b, const QColor& c, qreal) {
    const QRectF r = square(b);
    p.save();
    p.translate(r.center());
    p.rotate(-45);
    const qreal length = r.width() * 1.25, width = r.width() * 0.46;
    const QRectF strip(-length / 2, -width / 2, length, width);
    QPainterPath band;
    band.addRoundedRect(strip, width / 2, width / 2);
    // The pad in the middle shows as holes in the strip.
    QPainterPath holes;
    const qreal dot = width * 0.12;
    for (int i = -1; i <= 1; i += 2)
        for (int j = -1; j <= 1; j += 2) holes.addEllipse(QPointF(i * width * 0.18, j * width * 0.18), dot, dot);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(band.subtracted(holes));
    p.restore();
}

void SystemSymbol::recordingtape(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    const qreal d = r.height();
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(r.left(), r.top(), d, d));
    p.drawEllipse(QRectF(r.right() - d, r.top(), d, d));
    p.drawLine(QPointF(r.left() + d / 2, r.bottom()), QPointF(r.right() - d / 2, r.bottom()));
}

void SystemSymbol::opticaldisc(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = square(b).adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r);
    const qreal hole = r.width() * 0.2;
    p.drawEllipse(QRectF(r.center() - QPointF(hole / 2, hole / 2), QSizeF(hole, hole)));
    // The sheen of the pits: two short arcs facing each other.
    const QRectF sheen = r.adjusted(r.width() * 0.2, r.height() * 0.2, -r.width() * 0.2, -r.height() * 0.2);
    p.drawArc(sheen, 100 * 16, 60 * 16);
    p.drawArc(sheen, 280 * 16, 60 * 16);
}

void SystemSymbol::musicNoteList(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    p.setPen(linePen(c, s));
    p.drawLine(at(b, 0.05, 0.15), at(b, 0.55, 0.15));
    p.drawLine(at(b, 0.05, 0.45), at(b, 0.45, 0.45));
    p.drawLine(at(b, 0.05, 0.75), at(b, 0.4, 0.75));
    // The note: a stem with a flag and a filled head.
    p.drawLine(at(b, 0.86, 0.05), at(b, 0.86, 0.8));
    p.drawLine(at(b, 0.86, 0.05), at(b, 1.0, 0.18));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const qreal rx = b.width() * 0.13, ry = b.height() * 0.12;
    p.drawEllipse(at(b, 0.86, 0.82) - QPointF(rx * 0.8, 0), rx, ry);
}

void SystemSymbol::xmarkCircleFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = square(b);
    QPainterPath cut;
    cut.moveTo(at(r, 0.33, 0.33));
    cut.lineTo(at(r, 0.67, 0.67));
    cut.moveTo(at(r, 0.67, 0.33));
    cut.lineTo(at(r, 0.33, 0.67));
    circleWithCut(p, b, c, cut, qMax(s, r.width() * 0.1));
}

void SystemSymbol::checkmarkCircleFill(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = square(b);
    QPainterPath cut;
    cut.moveTo(at(r, 0.29, 0.52));
    cut.lineTo(at(r, 0.44, 0.67));
    cut.lineTo(at(r, 0.71, 0.35));
    circleWithCut(p, b, c, cut, qMax(s, r.width() * 0.1));
}

void SystemSymbol::magnifyingglass(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = square(b).adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(r.topLeft(), QSizeF(r.width() * 0.7, r.height() * 0.7)));
    p.setPen(linePen(c, s * 1.4));
    p.drawLine(at(r, 0.6, 0.6), at(r, 1.0, 1.0));
}

void SystemSymbol::wifiExclamationmark(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    // The fan of the signal on the left, the exclamation mark on the right.
    const QRectF fan(b.left(), b.top(), b.width() * 0.78, b.height());
    const QPointF base(fan.center().x(), fan.bottom() - s);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const qreal radius = fan.height() * (0.28 * i);
        p.drawArc(QRectF(base - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)), 45 * 16, 90 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(base, s * 0.9, s * 0.9);
    const qreal x = b.left() + b.width() * 0.93;
    p.setPen(linePen(c, s * 1.1));
    p.drawLine(QPointF(x, b.top() + s), QPointF(x, b.top() + b.height() * 0.62));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(x, b.bottom() - s * 0.8), s * 0.7, s * 0.7);
}

void SystemSymbol::antennaRadiowavesLeftAndRightSlash(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QPointF top = at(b, 0.5, 0.38);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    // The mast and its tip.
    p.drawLine(top, at(b, 0.5, 0.98));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(top, s * 1.1, s * 1.1);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        const qreal radius = b.height() * 0.2 * i;
        const QRectF ring(top - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        p.drawArc(ring, 135 * 16, 90 * 16);
        p.drawArc(ring, -45 * 16, 90 * 16);
    }
    // The slash, with a gap cut around it so it reads over the waves.
    p.drawLine(at(b, 0.18, 0.02), at(b, 0.82, 0.98));
}

void SystemSymbol::radio(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    const QRectF body(at(b, 0, 0.3), at(b, 1, 1));
    p.drawRoundedRect(body.adjusted(s / 2, s / 2, -s / 2, -s / 2), b.width() * 0.1, b.width() * 0.1);
    // The handle rising to the top right.
    p.drawLine(at(b, 0.18, 0.3), at(b, 0.78, 0.04));
    // Speaker on the left, dial lines on the right.
    const qreal speaker = body.height() * 0.48;
    p.drawEllipse(QRectF(QPointF(body.left() + body.width() * 0.12, body.center().y() - speaker / 2),
                         QSizeF(speaker, speaker)));
    p.drawLine(at(b, 0.62, 0.52), at(b, 0.86, 0.52));
    p.drawLine(at(b, 0.62, 0.7), at(b, 0.86, 0.7));
    p.drawLine(at(b, 0.62, 0.86), at(b, 0.86, 0.86));
}

void SystemSymbol::trayAndArrowDown(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    QPainterPath tray;
    tray.moveTo(at(r, 0.0, 0.62));
    tray.lineTo(at(r, 0.0, 1.0));
    tray.lineTo(at(r, 1.0, 1.0));
    tray.lineTo(at(r, 1.0, 0.62));
    tray.moveTo(at(r, 0.0, 0.62));
    tray.lineTo(at(r, 0.3, 0.62));
    tray.lineTo(at(r, 0.36, 0.78));
    tray.lineTo(at(r, 0.64, 0.78));
    tray.lineTo(at(r, 0.7, 0.62));
    tray.lineTo(at(r, 1.0, 0.62));
    p.drawPath(tray);
    p.drawLine(at(r, 0.5, 0.0), at(r, 0.5, 0.58));
    p.drawLine(at(r, 0.3, 0.38), at(r, 0.5, 0.58));
    p.drawLine(at(r, 0.7, 0.38), at(r, 0.5, 0.58));
}

void SystemSymbol::squareAndArrowDown(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    QPainterPath box;
    box.moveTo(at(r, 0.3, 0.36));
    box.lineTo(at(r, 0.0, 0.36));
    box.lineTo(at(r, 0.0, 1.0));
    box.lineTo(at(r, 1.0, 1.0));
    box.lineTo(at(r, 1.0, 0.36));
    box.lineTo(at(r, 0.7, 0.36));
    p.drawPath(box);
    p.drawLine(at(r, 0.5, 0.0), at(r, 0.5, 0.68));
    p.drawLine(at(r, 0.3, 0.5), at(r, 0.5, 0.68));
    p.drawLine(at(r, 0.7, 0.5), at(r, 0.5, 0.68));
}

void SystemSymbol::paintpalette(QPainter& p, const QRectF& b, const QColor& c, qreal s) {
    const QRectF r = b.adjusted(s / 2, s / 2, -s / 2, -s / 2);
    // The board: an oval with a bite taken out at the lower right for the thumb.
    QPainterPath board;
    board.addEllipse(r);
    QPainterPath thumb;
    const qreal bite = r.height() * 0.34;
    thumb.addEllipse(QRectF(at(r, 0.62, 0.58), QSizeF(bite, bite)));
    p.setPen(linePen(c, s));
    p.setBrush(Qt::NoBrush);
    p.drawPath(board.subtracted(thumb));
    // The paints.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const qreal dot = r.height() * 0.1;
    for (const QPointF& at01 : {QPointF(0.25, 0.42), QPointF(0.4, 0.22), QPointF(0.62, 0.22), QPointF(0.3, 0.7)})
        p.drawEllipse(at(r, at01.x(), at01.y()), dot, dot);
}

}  // namespace norvo
