#include "DeckDrawing.hpp"

#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>

#include "Kit/BlackFaceplate.hpp"
#include "Kit/DisplayWindow.hpp"
#include "Kit/FLMeterBar.hpp"
#include "Kit/FLMeterScale.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/KitShadow.hpp"
#include "Kit/LED.hpp"
#include "Kit/Silkscreen.hpp"

namespace norvo {

namespace {

QColor captionInk() { return KitColor::faded(KitColor::displayCyan, 0.6); }

QColor tintColor(DeckReadout::Tint tint) {
    switch (tint) {
    case DeckReadout::Tint::red: return KitColor::ledRed;
    case DeckReadout::Tint::green: return KitColor::ledGreen;
    case DeckReadout::Tint::cyan: return KitColor::displayCyan;
    }
    return KitColor::displayCyan;
}

}  // namespace

void DeckDrawing::panel(QPainter& p, const DeckLayout& l, QSizeF size) {
    BlackFaceplate::paint(p, QRectF(QPointF(0, 0), size));

    p.setFont(KitFont::brand(18));
    p.setPen(KitColor::white(0.9));
    p.drawText(l.brandBaseline, QStringLiteral("Norvo"));
    Silkscreen{QStringLiteral("STUDIO CASSETTE DECK  NV-1"), 8}.paintAtBaseline(p, l.modelBaseline);
    Silkscreen{QStringLiteral("REC"), 8}.paint(p, l.recText, Qt::AlignLeft | Qt::AlignVCenter);
    Silkscreen{QStringLiteral("TAPE RUN"), 8}.paint(p, l.tapeRunText, Qt::AlignLeft | Qt::AlignVCenter);

    // The well's floor (the cassette and the glass go over it).
    QPainterPath well;
    well.addRoundedRect(l.well, DeckLayout::wellRadius, DeckLayout::wellRadius);
    QLinearGradient floor(l.well.topLeft(), l.well.bottomLeft());
    floor.setColorAt(0, KitColor::white(0.04));
    floor.setColorAt(1, KitColor::white(0.11));
    p.fillPath(well, floor);

    // The display's glass and its fixed captions.
    DisplayWindow::paintGlass(p, l.display);
    p.setFont(DeckLayout::captionFont());
    p.setPen(captionInk());
    p.drawText(l.counterCaption, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("COUNTER"));
    p.drawText(l.sideCaption, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("SIDE"));
    FLMeterScale::paint(p, l.scale);
    DisplayWindow::paintRim(p, l.display);

    Silkscreen{QStringLiteral("TAPE MAP"), 7}.paint(p, l.mapCaption, Qt::AlignLeft | Qt::AlignVCenter);
    Silkscreen{QStringLiteral("INPUT"), 7}.paint(p, l.inputCaption, Qt::AlignLeft | Qt::AlignVCenter);
    Silkscreen{QStringLiteral("TAPE SOUND"), 7}.paint(p, l.soundCaption, Qt::AlignLeft | Qt::AlignVCenter);
}

void DeckDrawing::recLamp(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    LED{s.readout.recLamp, KitColor::ledRed, 8}.paint(p, l.recLed.topLeft());
}

void DeckDrawing::tapeRunLamp(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    LED{s.readout.tapeRunLamp, KitColor::ledGreen, 8}.paint(p, l.tapeRunLed.topLeft());
}

void DeckDrawing::counter(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    GlowText{s.readout.counter, 30, KitColor::amber, s.readout.documentPresent}.paint(p, l.counter);
}

void DeckDrawing::resetKey(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    const bool enabled = s.readout.documentPresent;
    QPainterPath key;
    key.addRoundedRect(l.resetKey, 3, 3);
    p.fillPath(key, KitColor::white(s.resetPressed && enabled ? 0.22 : 0.15));
    p.setFont(DeckLayout::resetFont());
    p.setPen(KitColor::white(0.6, enabled ? 1.0 : KitColor::disabledOpacity));
    p.drawText(l.resetKey, Qt::AlignCenter, QStringLiteral("RESET"));
}

void DeckDrawing::sides(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    const DeckReadout& r = s.readout;
    GlowText{QStringLiteral("A"), 22, KitColor::displayCyan, r.sideALit, GlowText::Use::lettering}.paint(p, l.sideA);
    GlowText{QStringLiteral("B"), 22, KitColor::displayCyan, r.sideBLit, GlowText::Use::lettering}.paint(p, l.sideB);
}

// Three read-outs, each its caption over its value (leading), with equal room between.
void DeckDrawing::time(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    const DeckReadout& r = s.readout;
    const QFont caption = DeckLayout::captionFont();
    const std::array<QString, 3> captions{QStringLiteral("TIME"), QStringLiteral("REMAIN"), QStringLiteral("TAPE")};
    const std::array<QString, 3> values{r.time, r.remain, r.tape};
    std::array<qreal, 3> widths{};
    qreal used = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        widths[i] = std::max(KitFont::textWidth(caption, captions[i]),
                             GlowText{values[i], 15, KitColor::displayCyan}.sizeHint().width());
        used += widths[i];
    }
    const qreal spacing = 8;
    const qreal gap = std::max<qreal>(spacing, (l.timeRow.width() - used - 4 * spacing) / 2);
    const std::array<qreal, 3> lefts{l.timeRow.left(), l.timeRow.left() + widths[0] + 2 * spacing + gap,
                                     l.timeRow.right() - widths[2]};
    for (std::size_t i = 0; i < 3; ++i) {
        const QRectF captionRect(lefts[i], l.timeRow.top(), widths[i], l.timeCaptionHeight);
        p.setFont(caption);
        p.setPen(captionInk());
        p.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter, captions[i]);
        GlowText{values[i], 15, KitColor::displayCyan, r.cassetteLoaded}.paint(
            p,
            QRectF(lefts[i], captionRect.bottom() + 2, widths[i] + 1, l.timeRow.bottom() - captionRect.bottom() - 2));
    }
}

void DeckDrawing::status(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    if (!s.readout.soundNote.isEmpty())
        GlowText{s.readout.soundNote, 12, tintColor(s.readout.statusTint)}.paint(p, l.noSound);
    GlowText{s.readout.status, 12, tintColor(s.readout.statusTint)}.paint(p, l.status);
}

void DeckDrawing::meters(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    FLMeterBar{{s.meters.left.db, s.meters.left.peakDB}, QStringLiteral("L")}.paint(p, l.meterL);
    FLMeterBar{{s.meters.right.db, s.meters.right.peakDB}, QStringLiteral("R")}.paint(p, l.meterR);
}

// The load or save under way: its message over an amber bar.
void DeckDrawing::busy(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    if (!s.busy) return;
    GlowText{s.busy->message.toUpper(), 9, KitColor::amber}.paint(p, l.busyMessage);
    const QRectF track = QRectF(l.busyBar.left(), l.busyBar.center().y() - 2, l.busyBar.width(), 4);
    p.setPen(Qt::NoPen);
    p.setBrush(KitColor::white(1, 0.12));
    p.drawRoundedRect(track, 2, 2);
    const double progress = std::isnan(s.busy->progress) ? 0.0 : std::clamp(s.busy->progress, 0.0, 1.0);
    p.setBrush(KitColor::amber);
    p.drawRoundedRect(QRectF(track.topLeft(), QSizeF(track.width() * progress, track.height())), 2, 2);
}

void DeckDrawing::tapeMap(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    const DeckReadout& r = s.readout;
    const QRectF strip = l.mapStrip;
    const qreal radius = strip.height() / 2;
    p.save();
    p.setOpacity(r.cassetteLoaded ? 1.0 : 0.3);
    p.setPen(Qt::NoPen);
    p.setBrush(KitColor::white(0.12));
    p.drawRoundedRect(strip, radius, radius);
    const qreal recorded = strip.width() * r.recordedFraction;
    if (recorded > 0) {
        p.setBrush(QColor::fromRgbF(0.42f, 0.29f, 0.2f));
        p.drawRoundedRect(QRectF(strip.topLeft(), QSizeF(recorded, strip.height())), std::min(radius, recorded / 2),
                          radius);
    }
    // The marker's glow is cached once and moved with the painter.
    const QRectF marker(0, 0, 2, strip.height());
    p.translate(strip.left() + strip.width() * r.headFraction - 1, strip.top());
    KitShadow::paint(p, QStringLiteral("deck-head-marker"), marker, KitColor::amber, 3, QPointF(0, 0),
                     [&](QPainter& shadow) { shadow.fillRect(marker, Qt::black); });
    p.fillRect(marker, KitColor::amber);
    p.restore();
}

void DeckDrawing::tapeSoundKey(QPainter& p, const DeckLayout& l, const DeckShown& s) {
    const QRectF key = l.soundKey;
    QPainterPath shape;
    shape.addRoundedRect(key, 4, 4);
    p.fillPath(shape, KitColor::white(0.13));
    p.setPen(QPen(KitColor::white(0, 0.8), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(key.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
    const QFont font = KitFont::system(9, QFont::DemiBold, KitFont::Width::expanded);
    p.setFont(font);
    p.setPen(KitColor::white(0.85));
    const QRectF text = key.adjusted(8, 0, -22, 0);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(font).elidedText(s.tapeSound, Qt::ElideRight, text.width()));
    // The menu indicator.
    const QPointF c(key.right() - 12, key.center().y());
    QPainterPath chevron;
    chevron.moveTo(c + QPointF(-3, -1.5));
    chevron.lineTo(c + QPointF(0, 1.5));
    chevron.lineTo(c + QPointF(3, -1.5));
    p.setPen(QPen(KitColor::white(0.85), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(chevron);
}

}  // namespace norvo
