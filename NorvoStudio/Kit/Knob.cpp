#include "Knob.hpp"

#include "KitColor.hpp"
#include "KitFont.hpp"
#include "KitShadow.hpp"

#include <QConicalGradient>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace norvo {

namespace {
const QMargins knobMargins(8, 4, 8, 8);
}  // namespace

Knob::Knob(QString label, double defaultValue, qreal size, Lettering lettering, QWidget* parent)
    : QWidget(parent),
      label_(std::move(label)),
      defaultValue_(defaultValue),
      size_(size),
      lettering_(lettering),
      ownValue_(defaultValue) {
    setToolTip(helpText(label_));
    setFocusPolicy(Qt::NoFocus);
}

void Knob::setBinding(std::function<double()> get, std::function<void(double)> set) {
    get_ = std::move(get);
    set_ = std::move(set);
    update();
}

double Knob::value() const { return get_ ? get_() : ownValue_; }

void Knob::setValue(double value) {
    if (set_) set_(value);
    else ownValue_ = value;
    update();
}

void Knob::write(double value) {
    setValue(value);
    emit valueEdited(value);
}

ExactFont Knob::captionFont() { return ExactFont(7.5, &KitFont::keyCaption); }

QString Knob::helpText(const QString& label) {
    return label + QStringLiteral(": drag up or down, double-click to reset");
}

QSizeF Knob::layoutSize(const QString& label, qreal size) {
    const ExactFont font = captionFont();
    return {qMax(size, font.horizontalAdvance(label)), size + captionSpacing + font.height()};
}

void Knob::paintFace(QPainter& painter, const QRectF& face, double value) {
    const qreal size = face.width();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    KitShadow::paint(painter, QStringLiteral("knob|%1").arg(size), QRectF(QPointF(), face.size()),
                     KitColor::white(0.0, 0.7), 3, face.topLeft() + QPointF(0, 2), [&](QPainter& p) {
                         p.setPen(Qt::NoPen);
                         p.setBrush(Qt::black);
                         p.drawEllipse(QRectF(QPointF(), face.size()));
                     });
    // The body's sheen turns clockwise from three o'clock; Qt's conical gradient runs
    // counter-clockwise, so the stops are laid out in reverse.
    QConicalGradient body(face.center(), 0);
    body.setColorAt(0.0, KitColor::white(0.75));
    body.setColorAt(0.25, KitColor::white(0.4));
    body.setColorAt(0.5, KitColor::white(0.85));
    body.setColorAt(0.75, KitColor::white(0.45));
    body.setColorAt(1.0, KitColor::white(0.75));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawEllipse(face);

    const qreal inset = 0.12 * size;
    QRadialGradient cap(face.topLeft(), size);
    cap.setColorAt(0, KitColor::white(0.7));
    cap.setColorAt(1, KitColor::white(0.5));
    painter.setBrush(cap);
    painter.drawEllipse(face.adjusted(inset, inset, -inset, -inset));

    painter.translate(face.center());
    painter.rotate(KnobDrag::pointerAngle(value));
    const qreal length = 0.28 * size, width = 2.5;
    const QRectF pointer(-width / 2, -0.24 * size - length / 2, width, length);
    painter.setBrush(KitColor::white(0.15));
    painter.drawRoundedRect(pointer, width / 2, width / 2);
    painter.restore();
}

void Knob::paint(QPainter& painter, const QRectF& layout, const QString& label, double value, qreal size,
                 Lettering lettering, bool enabled) {
    const QRectF face(layout.center().x() - size / 2, layout.top(), size, size);
    paintFace(painter, face, value);
    const ExactFont font = captionFont();
    const QRectF caption(layout.center().x() - layout.width() / 2, face.bottom() + captionSpacing,
                         qMax(layout.width(), font.horizontalAdvance(label)), font.height());
    painter.save();
    if (!enabled) painter.setOpacity(painter.opacity() * KitColor::disabledOpacity);
    painter.setPen(lettering == Lettering::dark ? KitColor::silkscreenDark : KitColor::silkscreenLight);
    font.draw(painter,
              QRectF(layout.center().x() - caption.width() / 2, caption.top(), caption.width(), caption.height()),
              Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, label);
    painter.restore();
}

QRect Knob::layoutRect() const {
    const QSizeF s = layoutSize(label_, size_);
    return QRect(knobMargins.left(), knobMargins.top(), qCeil(s.width()), qCeil(s.height()));
}

void Knob::setLayoutGeometry(const QRect& layoutRect) { setGeometry(layoutRect.marginsAdded(knobMargins)); }

QSize Knob::sizeHint() const { return layoutRect().size().grownBy(knobMargins); }

QRectF Knob::faceRect() const {
    const QRectF layout(layoutRect());
    return {layout.center().x() - size_ / 2, layout.top(), size_, size_};
}

void Knob::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double shown = value();
    const bool enabled = isEnabled();
    const QString key = QString::number(shown, 'g', 17) + (enabled ? QStringLiteral("|on") : QStringLiteral("|off"));
    picture_.paint(painter, QRectF(rect()), key,
                   [&](QPainter& p) { paint(p, QRectF(layoutRect()), label_, shown, size_, lettering_, enabled); });
}

void Knob::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !faceRect().contains(event->position())) {
        event->ignore();
        return;
    }
    drag_.ended();  // a drag whose release was lost must not lend this one its start
    dragging_ = true;
    pressY_ = event->position().y();
    write(drag_.changed(value(), 0));
}

void Knob::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    write(drag_.changed(value(), event->position().y() - pressY_));
}

void Knob::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    drag_.ended();
}

void Knob::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !faceRect().contains(event->position())) {
        event->ignore();
        return;
    }
    write(defaultValue_);
}

}  // namespace norvo
