#pragma once
#include <QFont>
#include <QString>

namespace norvo {

// The font roles of the faces. Sizes are in design points (= device-independent pixels),
// so every font here is set with a pixel size, a whole one: for a size with a fraction of a
// point, make an ExactFont of the role.
struct KitFont {
    static inline const QString systemFamily = QStringLiteral("Inter");
    static inline const QString monospacedFamily = QStringLiteral("DejaVu Sans Mono");
    static inline const QString serifFamily = QStringLiteral("DejaVu Serif");
    static inline const QString emojiFamily = QStringLiteral("Noto Color Emoji");

    enum class Width { normal, expanded };

    // The system font (Inter), optionally at expanded width.
    static QFont system(qreal size, QFont::Weight weight = QFont::Normal, Width width = Width::normal);
    // Display figures and captions: monospaced design (has ▮ ▯ ♪).
    static QFont monospaced(qreal size, QFont::Weight weight = QFont::Medium);
    // The brand lettering: serif design, black weight, italic.
    static QFont brand(qreal size);
    // Flags and other emoji.
    static QFont emoji(qreal size);
    // Panel lettering: semibold, expanded width, tracking 1.2.
    static QFont silkscreen(qreal size);
    // Key captions: semibold, expanded width.
    static QFont keyCaption(qreal size);

    // Absolute letter spacing (tracking) in design points.
    static QFont tracked(QFont font, qreal tracking);

    // Measures of a font, in design points.
    static qreal ascent(const QFont& font);
    // Ascent and descent: the line without leading.
    static qreal lineHeight(const QFont& font);
    static qreal textWidth(const QFont& font, const QString& text);
};

}  // namespace norvo
