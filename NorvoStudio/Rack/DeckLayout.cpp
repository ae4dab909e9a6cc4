#include "DeckLayout.hpp"

#include <QFontMetricsF>
#include <QString>
#include <algorithm>
#include <array>

#include "Cassette/NorvoGeometry.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "Kit/DisplayWindow.hpp"
#include "Kit/FLMeterBar.hpp"
#include "Kit/FLMeterScale.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/Knob.hpp"
#include "Kit/Silkscreen.hpp"

namespace norvo {

namespace {

constexpr qreal padding = 18;
constexpr qreal rowSpacing = 14;
constexpr qreal wellWidth = 400;
constexpr qreal wellHeight = 280;
constexpr qreal columnSpacing = 12;
constexpr qreal displaySpacing = 10;
constexpr qreal tapeSoundWidth = 264;
constexpr qreal tapeSoundHeight = 24;
constexpr qreal transportSpacing = 8;

QRectF glowRect(QPointF topLeft, qreal width, qreal size) {
    return QRectF(topLeft,
                  QSizeF(width, GlowText{QStringLiteral("0"), size, KitColor::displayCyan}.sizeHint().height()));
}

// What moves with the head in a cassette drawn in `picture`: the packs and hubs seen through
// the window and the hub openings.
QRectF reelsIn(const QRectF& picture) {
    using Geometry = NorvoGeometry;
    const double mm = picture.width() / Geometry::Shell::width;
    const double r = Geometry::Mechanism::hubOpeningDiameter / 2;
    const auto& w = Geometry::Shell::window;
    const double left = std::min(Geometry::Mechanism::leftHub.x - r, w.x);
    const double right = std::max(Geometry::Mechanism::rightHub.x + r, w.x + w.width);
    const double top = std::min(Geometry::Mechanism::leftHub.y - r, w.y);
    const double bottom = std::max(Geometry::Mechanism::leftHub.y + r, w.y + w.height);
    const QRectF openings(picture.left() + left * mm, picture.top() + top * mm, (right - left) * mm,
                          (bottom - top) * mm);
    return openings.adjusted(-2, -2, 2, 2);  // antialiased edges
}

}  // namespace

QFont DeckLayout::captionFont() { return KitFont::monospaced(7, QFont::Medium); }
QFont DeckLayout::resetFont() { return KitFont::keyCaption(7); }
QFont DeckLayout::badgeFont() { return KitFont::keyCaption(7); }

DeckLayout::DeckLayout(BusyLine busyLine, NoSoundLine noSoundLine) {
    const qreal inner = designWidth - 2 * padding;
    const QFont brand = KitFont::brand(18);
    const Silkscreen model{QStringLiteral("STUDIO CASSETTE DECK  NV-1"), 8};
    const qreal headerAscent = std::max(KitFont::ascent(brand), KitFont::ascent(model.font()));
    const qreal headerHeight =
        headerAscent + std::max(QFontMetricsF(brand).descent(), QFontMetricsF(model.font()).descent());
    header = QRectF(padding, padding, inner, headerHeight);
    const qreal baseline = padding + headerAscent;
    brandBaseline = QPointF(padding, baseline);
    modelBaseline = QPointF(padding + KitFont::textWidth(brand, QStringLiteral("Norvo")) + 8, baseline);
    // The lamps sit at the right end, each lamp centred on its word.
    const Silkscreen tapeRun{QStringLiteral("TAPE RUN"), 8};
    const Silkscreen rec{QStringLiteral("REC"), 8};
    const qreal wordAscent = KitFont::ascent(tapeRun.font());
    const qreal wordHeight = tapeRun.sizeHint().height();
    const qreal wordTop = baseline - wordAscent;
    const qreal ledTop = wordTop + (wordHeight - 8) / 2;
    const qreal right = padding + inner;
    tapeRunText = QRectF(right - tapeRun.sizeHint().width(), wordTop, tapeRun.sizeHint().width(), wordHeight);
    tapeRunLed = QRectF(tapeRunText.left() - 6 - 8, ledTop, 8, 8);
    recText = QRectF(tapeRunLed.left() - 12 - 8 - rec.sizeHint().width(), wordTop, rec.sizeHint().width(), wordHeight);
    recLed = QRectF(recText.left() - 6 - 8, ledTop, 8, 8);

    const qreal top = header.bottom() + rowSpacing;
    well = QRectF(padding, top, wellWidth, wellHeight);
    const QRectF offered = well.adjusted(22, 18, -22, -18);
    QSizeF picture(offered.width(), offered.width() / cassetteAspectRatio);
    if (picture.height() > offered.height()) picture = QSizeF(offered.height() * cassetteAspectRatio, offered.height());
    cassette = QRectF(offered.center() - QPointF(picture.width() / 2, picture.height() / 2), picture);
    reels = reelsIn(cassette);

    // The control column and its display.
    const qreal columnLeft = well.right() + 16;
    const qreal columnWidth = padding + inner - columnLeft;
    const qreal contentLeft = columnLeft + DisplayWindow::padding;
    const qreal contentWidth = columnWidth - 2 * DisplayWindow::padding;
    qreal y = top + DisplayWindow::padding;

    const QFont caption = captionFont();
    const qreal captionHeight = KitFont::lineHeight(caption);
    const QFont reset = resetFont();
    const qreal resetHeight = KitFont::lineHeight(reset) + 6;
    const qreal resetWidth = KitFont::textWidth(reset, QStringLiteral("RESET")) + 10;
    const qreal rowBaseline = std::max(KitFont::ascent(caption), 3 + KitFont::ascent(reset));
    const qreal captionTop = y + rowBaseline - KitFont::ascent(caption);
    counterCaption =
        QRectF(contentLeft, captionTop, KitFont::textWidth(caption, QStringLiteral("COUNTER")), captionHeight);
    const GlowText counterText{QStringLiteral("000"), 30, KitColor::amber};
    counter = QRectF(contentLeft, counterCaption.bottom() + 2, counterText.sizeHint().width(),
                     counterText.sizeHint().height());
    resetKey = QRectF(std::max(counter.right(), counterCaption.right()) + 8,
                      y + rowBaseline - 3 - KitFont::ascent(reset), resetWidth, resetHeight);
    const GlowText letter{QStringLiteral("A"), 22, KitColor::displayCyan};
    const QSizeF letterSize = letter.sizeHint();
    const qreal contentRight = contentLeft + contentWidth;
    sideB =
        QRectF(contentRight - letterSize.width(), counterCaption.bottom() + 2, letterSize.width(), letterSize.height());
    sideA = sideB.translated(-(letterSize.width() + 6), 0);
    const qreal sideCaptionWidth = KitFont::textWidth(caption, QStringLiteral("SIDE"));
    sideCaption = QRectF(contentRight - sideCaptionWidth, captionTop, sideCaptionWidth, captionHeight);
    y = std::max({counter.bottom(), resetKey.bottom(), sideB.bottom()}) + displaySpacing;

    // TIME, REMAIN and TAPE with the room between them shared (placed when drawn).
    const qreal valueHeight = glowRect({}, 0, 15).height();
    timeCaptionHeight = captionHeight;
    timeRow = QRectF(contentLeft, y, contentWidth, captionHeight + 2 + valueHeight);
    y = timeRow.bottom() + displaySpacing;

    if (noSoundLine == NoSoundLine::shown) {
        noSound = glowRect(QPointF(contentLeft, y), contentWidth, 12);
        y = noSound.bottom() + 2;
    }
    status = glowRect(QPointF(contentLeft, y), contentWidth, 12);
    y = status.bottom() + displaySpacing;

    meterL = QRectF(contentLeft, y, contentWidth, FLMeterBar::height());
    meterR = meterL.translated(0, FLMeterBar::height() + 5);
    scale = QRectF(contentLeft, meterR.bottom() + 5, contentWidth, FLMeterScale::height());
    y = scale.bottom();

    if (busyLine == BusyLine::shown) {
        y += displaySpacing;
        busyMessage = glowRect(QPointF(contentLeft, y), contentWidth, 9);
        busyBar = QRectF(contentLeft, busyMessage.bottom() + 4, contentWidth, 5);
        y = busyBar.bottom();
    }
    display = QRectF(columnLeft, top, columnWidth, y + DisplayWindow::padding - top);
    content = DisplayWindow::contentRect(display);

    const qreal silk7 = Silkscreen{QStringLiteral("TAPE MAP"), 7}.sizeHint().height();
    y = display.bottom() + columnSpacing;
    mapCaption = QRectF(columnLeft, y, columnWidth, silk7);
    mapStrip = QRectF(columnLeft, mapCaption.bottom() + 4, columnWidth, 6);
    y = mapStrip.bottom() + columnSpacing + 2;
    inputCaption = QRectF(columnLeft, y, columnWidth, silk7);
    inputPlayer = QRectF(columnLeft, inputCaption.bottom() + 6, inputKeyWidth, inputKeyHeight);
    inputTuner = inputPlayer.translated(inputKeyWidth + 8, 0);
    y = inputPlayer.bottom() + columnSpacing;
    soundCaption = QRectF(columnLeft, y, columnWidth, silk7);
    soundKey = QRectF(columnLeft, soundCaption.bottom() + 6, tapeSoundWidth, tapeSoundHeight);

    const qreal mainHeight = std::max(wellHeight, soundKey.bottom() - top);
    const qreal rowTop = top + mainHeight + rowSpacing;

    // The transport row, centred: EJECT, gap, REC, REW, PLAY, FF, STOP, gap, A ⇄ B, knobs.
    const QSizeF levelKnob = Knob::layoutSize(QStringLiteral("REC LEVEL"), knobSize);
    const QSizeF outKnob = Knob::layoutSize(QStringLiteral("OUTPUT"), knobSize);
    const qreal rowHeight = std::max<qreal>({38, levelKnob.height(), outKnob.height()});
    const std::array<qreal, 11> widths{64, 6, 64, 64, 64, 64, 64, 6, 70, levelKnob.width(), outKnob.width()};
    qreal total = transportSpacing * (widths.size() - 1);
    for (qreal w : widths) total += w;
    qreal x = padding + (inner - total) / 2;
    std::array<QRectF, 11> cells;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        const qreal h = i == 9 ? levelKnob.height() : i == 10 ? outKnob.height() : 38;
        cells[i] = QRectF(x, rowTop + (rowHeight - h) / 2, widths[i], h);
        x += widths[i] + transportSpacing;
    }
    ejectKey = cells[0];
    recordKey = cells[2];
    rewindKey = cells[3];
    playKey = cells[4];
    forwardKey = cells[5];
    stopKey = cells[6];
    flipKey = cells[8];
    recordKnob = cells[9];
    outputKnob = cells[10];
    height = rowTop + rowHeight + padding;
}

}  // namespace norvo
