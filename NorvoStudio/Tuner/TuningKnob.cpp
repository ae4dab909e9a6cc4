#include "Tuner/TuningKnob.hpp"

#include <QConicalGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QWheelEvent>

#include "Kit/ExactFont.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/KitShadow.hpp"

namespace norvo {

namespace {

const QString caption = QStringLiteral("TUNING");
ExactFont labelFont() {
    return ExactFont(7.5, [](qreal size) { return KitFont::system(size, QFont::DemiBold, KitFont::Width::expanded); });
}

}  // namespace

TuningKnob::TuningKnob(qreal size, int64_t detents, Haptics& haptics, QWidget* parent)
    : QWidget(parent), size_(size), haptics_(haptics), detents_(detents) {
    angle_.reset(double(detents));
    setMouseTracking(true);
    setToolTip(QStringLiteral("TUNING: drag or scroll over the knob to move along the band"));
    resize(sizeHint());
}

void TuningKnob::setDetents(int64_t detents) {
    if (detents == detents_) return;
    detents_ = detents;
    angle_.setTarget(double(detents));
    update();
}

void TuningKnob::tick(double dt) {
    if (angle_.settled()) return;
    angle_.step(dt);
    update();
}

QSizeF TuningKnob::layoutSize() const {
    const ExactFont font = labelFont();
    return {std::max(size_, font.horizontalAdvance(caption)), size_ + labelSpacing + font.height()};
}

QRectF TuningKnob::knobRect() const {
    const QSizeF layout = layoutSize();
    return QRectF(shadowRoom + (layout.width() - size_) / 2, shadowRoom, size_, size_);
}

void TuningKnob::setLayoutGeometry(const QRect& layout) {
    setGeometry(layout.adjusted(-shadowRoom, -shadowRoom, shadowRoom, shadowRoom));
}

QSize TuningKnob::sizeHint() const { return (layoutSize() + QSizeF(2 * shadowRoom, 2 * shadowRoom)).toSize(); }

bool TuningKnob::overKnob(QPointF point) const {
    const QRectF knob = knobRect();
    const QPointF d = point - knob.center();
    return d.x() * d.x() + d.y() * d.y() <= size_ * size_ / 4;
}

void TuningKnob::turn(double movement, Feedback feedback) {
    stepper_.feed(movement, [&](int step) {
        if (feedback == Feedback::haptic) haptics_.alignment();
        if (onTurn) onTurn(step);
    });
}

void TuningKnob::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !overKnob(event->position())) {
        event->ignore();
        return;
    }
    dragging_ = true;
    dragStart_ = event->position();
    dragTravel_ = 0;
}

void TuningKnob::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPointF translation = event->position() - dragStart_;
    // Right and up count positive; a diagonal down-right movement cancels out.
    const double travel = translation.x() - translation.y();
    turn(travel - dragTravel_, Feedback::haptic);
    dragTravel_ = travel;
}

void TuningKnob::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    mouseMoveEvent(event);
    dragging_ = false;
    dragTravel_ = 0;
    stepper_.reset();  // a part-detent is dropped
}

void TuningKnob::wheelEvent(QWheelEvent* event) {
    if (!overKnob(event->position())) {
        event->ignore();
        return;
    }
    // Taken: the station list beside the knob must not scroll as well.
    event->accept();
    turn(DetentStepper::wheelMovement(*event), Feedback::none);
}

void TuningKnob::leaveEvent(QEvent*) {
    if (!dragging_) stepper_.reset();
}

void TuningKnob::hideEvent(QHideEvent*) {
    dragging_ = false;
    dragTravel_ = 0;
    stepper_.reset();
}

void TuningKnob::paintKnob(QPainter& painter, const QRectF& square, double degrees) {
    const qreal size = square.width();
    const QPointF centre = square.center();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath body;
    body.addEllipse(square);
    KitShadow::paint(painter, QStringLiteral("tuning-knob-shadow|%1").arg(size), square.adjusted(-10, -10, 10, 10),
                     QColor::fromRgbF(0, 0, 0, 0.75f), 3.5, QPointF(0, 2.5),
                     [&](QPainter& p) { p.fillPath(body, Qt::black); });
    // Start angle 0 is three o'clock and runs clockwise on screen; Qt's conical gradient
    // runs counter-clockwise, hence the mirrored stops.
    QConicalGradient metal(centre, 0);
    const double greys[] = {0.78, 0.42, 0.88, 0.38, 0.78};
    for (int i = 0; i < 5; ++i) metal.setColorAt(1.0 - i / 4.0, KitColor::white(greys[i]));
    painter.fillPath(body, metal);

    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    for (int i = 0; i < 40; ++i) {
        painter.save();
        painter.rotate(i * 9);
        painter.fillRect(QRectF(-0.45, -0.455 * size - 0.045 * size, 0.9, 0.09 * size),
                         QColor::fromRgbF(0, 0, 0, 0.28f));
        painter.restore();
    }
    painter.restore();

    const QRectF cap = square.adjusted(0.11 * size, 0.11 * size, -0.11 * size, -0.11 * size);
    QRadialGradient capShade(square.topLeft(), size);
    capShade.setColorAt(0, KitColor::white(0.74));
    capShade.setColorAt(1, KitColor::white(0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(capShade);
    painter.drawEllipse(cap);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.25f), 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(cap.adjusted(0.4, 0.4, -0.4, -0.4));

    painter.translate(centre);
    painter.rotate(degrees);
    const qreal d = 0.21 * size;
    const QRectF dimple(-d / 2, -0.22 * size - d / 2, d, d);
    QRadialGradient dimpleShade(dimple.topLeft(), 0.13 * size);
    dimpleShade.setColorAt(0, KitColor::white(0.36));
    dimpleShade.setColorAt(1, KitColor::white(0.6));
    painter.setPen(Qt::NoPen);
    painter.setBrush(dimpleShade);
    painter.drawEllipse(dimple);
    painter.setPen(QPen(KitColor::white(1, 0.25), 0.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(dimple.translated(0.4, 0.6).adjusted(0.3, 0.3, -0.3, -0.3));
    painter.restore();
}

void TuningKnob::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double angle = drawnAngle();
    picture_.paint(painter, QRectF(rect()), angle, [&](QPainter& p) {
        const QRectF knob = knobRect();
        paintKnob(p, knob, angle);
        const ExactFont font = labelFont();
        p.setPen(KitColor::silkscreenLight);
        font.draw(p,
                  QPointF(knob.center().x() - font.horizontalAdvance(caption) / 2,
                          knob.bottom() + labelSpacing + font.ascent()),
                  caption);
    });
}

}  // namespace norvo
