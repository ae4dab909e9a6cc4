#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <array>

namespace norvo {

// One channel's fluorescent level bar: a label, then one segment per mark, lit up to the
// level, with a held peak shown (without glow) on unlit segments less than 3 dB below it.
// Red from 0 dB up, cyan below. The 15 segments share the bar's width.
struct FLMeterBar {
    // What the bar shows of one meter channel, in dB relative to full scale.
    struct Level {
        double db = -60;      // the displayed level
        double peakDB = -60;  // the held peak
        bool operator==(const Level&) const = default;
    };

    Level level;
    QString label;

    static constexpr std::array<double, 15> marks{-40, -30, -20, -15, -10, -7, -5, -3, -1, 0, 1, 2, 3, 4, 6};
    static constexpr qreal labelWidth = 8;
    static constexpr qreal labelSpacing = 6;
    static constexpr qreal segmentSpacing = 2.5;
    static constexpr qreal segmentHeight = 7;
    static constexpr qreal glowRadius = 2.5;

    struct Segment {
        bool lit = false;
        bool peak = false;
        bool red = false;  // from 0 dB up
        QColor color() const;
        // The fill: full colour when lit or peak, else at 0.1.
        QColor fill() const;
        bool glows() const { return lit; }
        bool operator==(const Segment&) const = default;
    };
    static Segment segment(double mark, double db, double peakDB);
    static std::array<Segment, 15> segments(const Level& level);

    static QFont labelFont();
    // The rectangles of the 15 segments in a bar drawn in `rect` (vertically centred).
    static std::array<QRectF, 15> segmentRects(const QRectF& rect);
    // The bar's natural height (the label line or the segment, whichever is taller).
    static qreal height();

    void paint(QPainter& painter, const QRectF& rect) const;

private:
    void paintDirectly(QPainter& painter, const QRectF& rect, const std::array<Segment, 15>& states) const;
};

}  // namespace norvo
