#pragma once
#include <QFont>
#include <QPointF>
#include <QRectF>

namespace norvo {

// Where everything on the NV-1 deck face is, in design points at scale 1: a value worked
// out once from the fonts, for the face at rest, with the busy line under its meters or with
// the line that says there is no sound above its status (each makes the display, and the
// face, taller).
struct DeckLayout {
    enum class BusyLine { hidden, shown };
    enum class NoSoundLine { hidden, shown };

    static constexpr qreal designWidth = 720;
    static constexpr qreal wellRadius = 8;
    static constexpr qreal inputKeyWidth = 128;
    static constexpr qreal inputKeyHeight = 26;
    static constexpr qreal knobSize = 40;

    // The display's small captions, the RESET key's lettering and the record-tab badge.
    static QFont captionFont();
    static QFont resetFont();
    static QFont badgeFont();

    qreal height = 0;
    // Header.
    QPointF brandBaseline, modelBaseline;
    QRectF recLed, recText, tapeRunLed, tapeRunText, header;
    // Main panel: the well, the cassette picture in it, and what moves of the cassette as the
    // tape runs (the packs and hubs seen through its window and hub openings).
    QRectF well, cassette, reels;
    QRectF display, content;
    QRectF counterCaption, counter, resetKey, sideCaption, sideA, sideB;
    // TIME, REMAIN and TAPE share the row; they are placed by their values when drawn.
    QRectF timeRow;
    qreal timeCaptionHeight = 0;
    QRectF noSound, status, meterL, meterR, scale, busyMessage, busyBar;
    QRectF mapCaption, mapStrip;
    QRectF inputCaption, inputPlayer, inputTuner;
    QRectF soundCaption, soundKey;
    // Transport row.
    QRectF ejectKey, recordKey, rewindKey, playKey, forwardKey, stopKey, flipKey, recordKnob, outputKnob;

    explicit DeckLayout(BusyLine busyLine = BusyLine::hidden, NoSoundLine noSoundLine = NoSoundLine::hidden);

    bool operator==(const DeckLayout&) const = default;
};

}  // namespace norvo
