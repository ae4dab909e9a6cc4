#pragma once
#include <QColor>
#include <QPainter>
#include <QString>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/RGBAColor.hpp"

namespace norvo {

// The drawn paper label of one side: paper, the label style's decoration, the framed
// side letter, the type badge, the cassette's name and the side's title.
struct CassetteLabel {
    // Draws with the painter in millimetres of the shell (origin at the shell's top-left
    // corner); `scale` is pixels per millimetre, for the sizes given in pixels. The caller
    // clips to the label less its openings; texts run on and are cut only by that clip.
    static void drawArtwork(QPainter& painter, double scale, const CassetteDocument& document, TapeSide side);

    // "C60" for a standard type, "C" + minutes of both sides for a custom one.
    static QString badgeText(const CassetteType& type);

    // A design colour as sRGB with its alpha multiplied by `opacity`.
    static QColor color(const RGBAColor& color, double opacity = 1.0);
};

}  // namespace norvo
