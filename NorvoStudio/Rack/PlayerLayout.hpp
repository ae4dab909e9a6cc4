#pragma once
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <array>

namespace norvo {

// Where everything of the DA-2 face stands, in design points at scale 1: a value of the
// face's height and of whether the error line is shown (it takes its room from the list).
struct PlayerLayout {
    static constexpr int designWidth = 430;
    static constexpr qreal padding = 18;
    static constexpr qreal rowSpacing = 14;
    static constexpr qreal displaySpacing = 8;
    static constexpr qreal panelRadius = 10;
    static constexpr qreal knobSize = 40;
    static constexpr qreal discSize = 26;
    static constexpr qreal listBorder = 2;  // the list sits inside its glass border
    static constexpr std::array<qreal, 5> keyWidths{56, 74, 56, 56, 56};

    static QFont captionFont();
    static QFont durationFont();
    static QFont brandFont();

    static PlayerLayout make(qreal height, bool errorShown);

    qreal minimumHeight = 0;
    QPointF brandBaseline, modelBaseline;
    QRectF lineOutLed, lineOutText;
    QRectF display;
    QRectF trackCaption, trackValue, disc;
    qreal trackCaptionWidth = 0;  // TRACK
    qreal trackFiguresWidth = 0;  // the widest track number, "000"
    QRectF status, bar, duration, meterL, meterR, error;
    std::array<QRectF, 5> keys;
    QRectF knob;
    QRectF programCaption, list;

    bool operator==(const PlayerLayout&) const = default;
};

}  // namespace norvo
