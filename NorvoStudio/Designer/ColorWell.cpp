#include "ColorWell.hpp"

#include <QColorDialog>
#include <QPainter>
#include <QPainterPath>

#include "CassetteDrawing/CassetteLabel.hpp"

namespace norvo {

ColorWell::ColorWell(CassetteDesignerView::ColorBinding binding, Alpha alpha, const QString& title, QWidget* parent)
    : QAbstractButton(parent), binding_(std::move(binding)), showsAlpha_(alpha == Alpha::shown), title_(title) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(title);
    shown_ = binding_.read();
    connect(this, &QAbstractButton::clicked, this, &ColorWell::choose);
}

void ColorWell::refresh() {
    const auto value = binding_.read();
    if (value == shown_) return;
    shown_ = value;
    update();
}

void ColorWell::choose() {
    if (dialog_) {
        dialog_->raise();
        return;
    }
    const RGBAColor current = binding_.read().value_or(RGBAColor{});
    auto* dialog = new QColorDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle(title_);
    dialog->setOption(QColorDialog::ShowAlphaChannel, showsAlpha_);
    dialog->setCurrentColor(QColor::fromRgbF(float(current.red), float(current.green), float(current.blue),
                                             float(showsAlpha_ ? current.alpha : 1.0)));
    // The binding reads the document when the colour arrives, not before.
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor& color) {
        QColor chosen = color;
        if (!showsAlpha_) chosen.setAlphaF(1.0f);
        binding_.write(chosen);
    });
    dialog_ = dialog;
    dialog->open();
}

void ColorWell::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    QPainterPath frame;
    frame.addRoundedRect(outer, 5, 5);
    p.fillPath(frame, palette().color(QPalette::Button));
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(hasFocus() ? 0.6f : 0.25f);
    p.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : edge, hasFocus() ? 2 : 1));
    p.drawPath(frame);

    const QRectF inner = outer.adjusted(4, 4, -4, -4);
    QPainterPath swatch;
    swatch.addRoundedRect(inner, 2.5, 2.5);
    p.save();
    p.setClipPath(swatch);
    const RGBAColor c = shown_.value_or(RGBAColor{});
    if (c.alpha < 1) {
        // A checkerboard under a see-through colour shows how see-through it is.
        const double cell = 4;
        for (int y = 0; y * cell < inner.height(); ++y)
            for (int x = 0; x * cell < inner.width(); ++x)
                p.fillRect(QRectF(inner.left() + x * cell, inner.top() + y * cell, cell, cell),
                           (x + y) % 2 ? QColor(200, 200, 200) : QColor(255, 255, 255));
    }
    p.fillRect(inner, CassetteLabel::color(c));
    p.restore();
    edge.setAlphaF(0.3f);
    p.setPen(QPen(edge, 0.5));
    p.drawPath(swatch);
    if (isDown()) p.fillPath(frame, QColor(0, 0, 0, 40));
}

}  // namespace norvo
