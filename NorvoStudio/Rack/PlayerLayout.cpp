#include "PlayerLayout.hpp"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <algorithm>

#include "Kit/DisplayWindow.hpp"
#include "Kit/FLMeterBar.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/Knob.hpp"
#include "Kit/Silkscreen.hpp"
#include "Kit/SilverKeyStyle.hpp"
#include "Kit/SystemSymbol.hpp"
#include "PlayerProgramList.hpp"

namespace norvo {

namespace {

qreal glowHeight(qreal size) { return GlowText{QStringLiteral("0"), size, KitColor::displayCyan}.sizeHint().height(); }
qreal glowWidth(const QString& text, qreal size) {
    return GlowText{text, size, KitColor::displayCyan}.sizeHint().width();
}

}  // namespace

QFont PlayerLayout::captionFont() { return KitFont::monospaced(7, QFont::Medium); }
QFont PlayerLayout::durationFont() { return KitFont::monospaced(9, QFont::Medium); }
QFont PlayerLayout::brandFont() { return KitFont::system(10, QFont::Bold, KitFont::Width::expanded); }

PlayerLayout PlayerLayout::make(qreal height, bool errorShown) {
    PlayerLayout l;
    const qreal inner = designWidth - 2 * padding;

    // The header: the brand and the model on one baseline, the LINE OUT lamp at the right.
    const QFont brand = brandFont();
    const Silkscreen model{QStringLiteral("SOURCE PLAYER  DA-2"), 8, Lettering::dark};
    const qreal headerAscent = std::max(KitFont::ascent(brand), KitFont::ascent(model.font()));
    const qreal headerHeight =
        headerAscent + std::max(QFontMetricsF(brand).descent(), QFontMetricsF(model.font()).descent());
    const QRectF header(padding, padding, inner, headerHeight);
    const qreal baseline = padding + headerAscent;
    l.brandBaseline = QPointF(padding, baseline);
    l.modelBaseline =
        QPointF(padding + QFontMetricsF(brand).horizontalAdvance(QStringLiteral("COMPACT DISC · MP3")) + 8, baseline);
    const Silkscreen lineOut{QStringLiteral("LINE OUT"), 7, Lettering::dark};
    const QSizeF wordSize = lineOut.sizeHint();
    l.lineOutText = QRectF(padding + inner - wordSize.width(), baseline - KitFont::ascent(lineOut.font()),
                           wordSize.width(), wordSize.height());
    l.lineOutLed = QRectF(l.lineOutText.left() - 5 - 7, l.lineOutText.center().y() - 3.5, 7, 7);

    // The display.
    const qreal top = header.bottom() + rowSpacing;
    const qreal left = padding + DisplayWindow::padding;
    const qreal width = inner - 2 * DisplayWindow::padding;
    qreal y = top + DisplayWindow::padding;
    const QFont caption = captionFont();
    const QSizeF discBox = SystemSymbol::size(QStringLiteral("opticaldisc"), discSize);
    // The row stands on the captions' baseline; the disc rests on it like a glyph.
    const qreal rowBaseline = std::max(KitFont::ascent(caption), discBox.height() - 2);
    const qreal captionTop = y + rowBaseline - KitFont::ascent(caption);
    l.trackCaption = QRectF(left, captionTop, width / 2, KitFont::lineHeight(caption));
    l.trackValue = QRectF(left, l.trackCaption.bottom() + 2, width / 2, glowHeight(26));
    l.trackCaptionWidth = KitFont::textWidth(caption, QCoreApplication::translate("norvo::SourcePlayerView", "TRACK"));
    l.trackFiguresWidth = glowWidth(QStringLiteral("000"), 26);
    l.disc = QRectF(left + width - discBox.width(), y + rowBaseline + 2 - discBox.height(), discBox.width(),
                    discBox.height());
    y = std::max(l.trackValue.bottom(), l.disc.bottom()) + displaySpacing;
    l.status = QRectF(left, y, width, glowHeight(12));
    y = l.status.bottom() + displaySpacing;
    l.bar = QRectF(left, y, width, 5);
    l.duration = QRectF(left, l.bar.bottom() + 3, width, KitFont::lineHeight(durationFont()));
    y = l.duration.bottom() + displaySpacing;
    l.meterL = QRectF(left, y, width, FLMeterBar::height());
    l.meterR = l.meterL.translated(0, FLMeterBar::height() + 4);
    y = l.meterR.bottom();
    if (errorShown) {
        l.error = QRectF(left, y + displaySpacing, width, glowHeight(9));
        y = l.error.bottom();
    }
    l.display = QRectF(padding, top, inner, y + DisplayWindow::padding - top);

    // The key row: five keys from the left, the knob at the right end.
    const QSizeF knobBox = Knob::layoutSize(QStringLiteral("VOLUME"), knobSize);
    const qreal keyRowHeight = std::max<qreal>(SilverKeyStyle::height, knobBox.height());
    const QRectF keyRow(padding, l.display.bottom() + rowSpacing, inner, keyRowHeight);
    qreal x = padding;
    for (std::size_t i = 0; i < keyWidths.size(); ++i) {
        l.keys[i] = QRectF(x, keyRow.center().y() - SilverKeyStyle::height / 2, keyWidths[i], SilverKeyStyle::height);
        x += keyWidths[i] + 8;
    }
    l.knob = QRectF(padding + inner - knobBox.width(), keyRow.center().y() - knobBox.height() / 2, knobBox.width(),
                    knobBox.height());

    // The PROGRAM, down to the bottom edge.
    const Silkscreen program{QStringLiteral("PROGRAM"), 7, Lettering::dark};
    const qreal programTop = keyRow.bottom() + rowSpacing;
    const qreal hintHeight = KitFont::lineHeight(KitFont::system(9));
    const qreal headerLine = std::max(program.sizeHint().height(), hintHeight);
    l.programCaption = QRectF(padding, programTop, inner, headerLine);
    const qreal listTop = l.programCaption.bottom() + 6;
    const qreal smallestList = 3 * PlayerProgramList::rowHeight + 2 * listBorder;
    l.minimumHeight = listTop + smallestList + padding;
    l.list = QRectF(padding, listTop, inner, std::max(smallestList, height - padding - listTop));
    return l;
}

}  // namespace norvo
