#pragma once
#include <QPainter>
#include <QSizeF>

#include "DeckLayout.hpp"
#include "DeckShown.hpp"

namespace norvo {

// The NV-1 face drawn from its layout and what it shows, part by part: the panel that never
// changes (metal, lettering, the well's floor, the display's glass and captions) and each
// readout over it. Pure: the same layout and values give the same pixels. The cassette well
// is the face's own: it keeps its pictures and moves its cassettes.
struct DeckDrawing {
    static void panel(QPainter& p, const DeckLayout& l, QSizeF size);

    static void recLamp(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void tapeRunLamp(QPainter& p, const DeckLayout& l, const DeckShown& s);
    // On the display's glass.
    static void counter(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void resetKey(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void sides(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void time(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void status(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void meters(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void busy(QPainter& p, const DeckLayout& l, const DeckShown& s);
    // Below the display.
    static void tapeMap(QPainter& p, const DeckLayout& l, const DeckShown& s);
    static void tapeSoundKey(QPainter& p, const DeckLayout& l, const DeckShown& s);
};

}  // namespace norvo
