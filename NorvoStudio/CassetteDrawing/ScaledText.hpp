#pragma once
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <QStringList>

namespace norvo {

// Plain text at a fractional size in the painter's current units (millimetres in the
// drawings): the font is laid out at a large reference pixel size and the painter is
// scaled down, so a 6.2 mm letter is not rounded to whole pixels. Never markup.
class ScaledText {
public:
    // Where a line's box ends above and below its baseline.
    enum class LineBox {
        font,      // the font's own ascent and descent
        evenRule,  // the same fractions of the em for every font, so no font's metrics move its line
    };
    static constexpr double ruleAscent = 0.97;
    static constexpr double ruleDescent = 0.24;

    // Takes family, weight and width of `font`; `size` is the em size in painter units.
    ScaledText(QFont font, double size, LineBox box = LineBox::font);

    double width(const QString& text) const;
    double ascent() const;
    double descent() const;
    double height() const { return ascent() + descent(); }  // one line's box
    double lineSpacing() const;

    // One line; line breaks are drawn as blanks.
    void draw(QPainter& painter, QPointF baselineLeft, const QString& text) const;
    // One line whose box's top-left corner is at `topLeft`.
    void drawInBox(QPainter& painter, QPointF topLeft, const QString& text) const {
        draw(painter, {topLeft.x(), topLeft.y() + ascent()}, text);
    }
    // The text shortened at its end with "…" to fit `width`.
    QString elided(const QString& text, double width) const;
    // The text wrapped to `width` (at words, inside a word only when it must), at most
    // `maxLines` lines (0: no limit), the last one shortened when text is left over.
    QStringList wrapped(const QString& text, double width, int maxLines) const;

    static QString singleLine(QString text);
    // No drawing shows more than this many characters of a text; a huge name read from a
    // file must not be shaped in full on every frame.
    static constexpr qsizetype maximumLength = 1024;
    static QString capped(const QString& text);

private:
    static constexpr int referencePixels = 200;
    QFont font_;
    double scale_;
    LineBox box_;
    QFontMetricsF metrics_;
};

}  // namespace norvo
