#pragma once
#include <QFont>
#include <QString>

#include "Cassette/FontRole.hpp"
#include "ScaledText.hpp"

namespace norvo {

// The lettering of labels and J-cards: each handwriting role's font at a pixel size.
// A family that is not installed falls back to the platform's substitute.
struct HandwritingFont {
    // The family of the role: marker Yusei Magic, pen Comic Neue, typewriter
    // Courier Prime Code, sans Inter (semibold), serif Linux Libertine O, stencil
    // League Spartan (extra bold).
    static QString family(FontRole role);
    static QFont font(FontRole role, int pixelSize);
    // The role's lettering at `size` painter units, its lines boxed by one rule for all
    // roles: a title sits on the same baseline whichever handwriting is chosen.
    static ScaledText lettering(FontRole role, double size);
    // The system font (Inter) at a pixel size, weight and width (QFont::Stretch or percent).
    static QFont system(int pixelSize, QFont::Weight weight = QFont::Normal, int stretch = QFont::Unstretched);
};

// Shorthand for HandwritingFont::font.
inline QFont fontForRole(FontRole role, int pixelSize) { return HandwritingFont::font(role, pixelSize); }

}  // namespace norvo
