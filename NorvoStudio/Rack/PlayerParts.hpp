#pragma once
#include <QPainter>
#include <QRectF>
#include <QRegion>
#include <QSizeF>
#include <bitset>
#include <cstddef>

#include "PlayerLayout.hpp"
#include "PlayerReadout.hpp"
#include "StudioModel/MeterBallistics.hpp"

namespace norvo {

// What the DA-2 face shows at a moment, compared between ticks to find the parts to repaint.
struct PlayerShown {
    PlayerReadout readout;
    MeterBallistics::Pair levels;
    bool dropTargeted = false;

    bool operator==(const PlayerShown&) const = default;
};

// The parts of the DA-2 face that change: where each one is, how it is painted and what
// it shows, so that a tick repaints exactly the parts whose values changed. Everything
// else is the panel, painted once per size.
struct PlayerParts {
    enum class Part { lineOut, display, trackNumber, time, disc, status, progress, meters, error, program };
    static constexpr std::size_t partCount = static_cast<std::size_t>(Part::program) + 1;
    // A set of parts, by their place in Part.
    using Parts = std::bitset<partCount>;

    // Where a part is painted and repainted, its glow included.
    static QRectF rect(Part part, const PlayerLayout& layout);
    // The parts that look different with `now` than with `before`.
    static Parts changed(const PlayerShown& before, const PlayerShown& now);

    // The metal, the fixed lettering, the glass and the list's glass, for a face of `size`.
    static void paintPanel(QPainter& painter, const PlayerLayout& layout, QSizeF size);
    // The parts that `dirty` reaches, over the panel.
    static void paint(QPainter& painter, const PlayerLayout& layout, const PlayerShown& shown, const QRegion& dirty);
};

}  // namespace norvo
