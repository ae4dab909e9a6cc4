#pragma once
#include <QRectF>
#include <QString>
#include <vector>

#include "Cassette/FontRole.hpp"
#include "JCardContent.hpp"
#include "ScaledText.hpp"

namespace norvo {

// The lines of the J-card's front cover, placed in millimetres of the unfolded card
// (origin at its top-left corner): title, subtitle and creator from the top, the side
// blocks and the dedication against the bottom. When both do not fit, the bottom gives
// way (the dedication's lines, then the last rows of the lists) so that nothing overlaps
// and the tape's title, subtitle and creator stay.
struct JCardFrontLayout {
    enum class Face { title, subtitle, creator, heading, row, dedication };
    struct Line {
        Face face;
        QString text;
        QRectF box;  // the line's box; the text's top-left corner is the box's
    };

    static constexpr double padding = 3.0;
    static constexpr double spacing = 2.0;
    static constexpr double blockSpacing = 0.4;
    static constexpr int titleLines = 3;
    static constexpr int dedicationLines = 3;

    std::vector<Line> lines;

    static JCardFrontLayout make(const JCardContent& content, FontRole role);
    // The front cover's column: the panel less its padding, in card millimetres.
    static QRectF column();
    static ScaledText font(Face face, FontRole role);
    static double opacity(Face face);
};

}  // namespace norvo
