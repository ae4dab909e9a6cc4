#include "KitFont.hpp"

#include <QFontMetricsF>
#include <QtMath>

namespace norvo {

namespace {

// Qt takes whole pixel sizes only; a half size (7.5, 6.5) asked for here becomes the nearest
// whole pixel. Text at such a size is drawn through ExactFont.
QFont sized(const QString& family, qreal size) {
    QFont font(family);
    font.setPixelSize(qMax(1, qRound(size)));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace

QFont KitFont::system(qreal size, QFont::Weight weight, Width width) {
    QFont font = sized(systemFamily, size);
    font.setWeight(weight);
    if (width == Width::expanded) font.setStretch(QFont::Expanded);
    return font;
}

QFont KitFont::monospaced(qreal size, QFont::Weight weight) {
    QFont font = sized(monospacedFamily, size);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setWeight(weight);
    return font;
}

QFont KitFont::brand(qreal size) {
    QFont font = sized(serifFamily, size);
    font.setStyleHint(QFont::Serif);
    font.setWeight(QFont::Black);
    font.setItalic(true);
    return font;
}

QFont KitFont::emoji(qreal size) { return sized(emojiFamily, size); }

QFont KitFont::silkscreen(qreal size) { return tracked(keyCaption(size), 1.2); }

QFont KitFont::keyCaption(qreal size) { return system(size, QFont::DemiBold, Width::expanded); }

QFont KitFont::tracked(QFont font, qreal tracking) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return font;
}

qreal KitFont::ascent(const QFont& font) { return QFontMetricsF(font).ascent(); }

qreal KitFont::lineHeight(const QFont& font) {
    const QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

qreal KitFont::textWidth(const QFont& font, const QString& text) { return QFontMetricsF(font).horizontalAdvance(text); }

}  // namespace norvo
