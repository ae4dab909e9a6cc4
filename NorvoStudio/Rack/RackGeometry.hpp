#pragma once
#include <QPointF>
#include <QSizeF>
#include <algorithm>

namespace norvo {

// The rack's design space, in points. The whole rack scales down uniformly when the
// window is smaller than the design size and is never enlarged.
struct RackGeometry {
    static constexpr double designWidth = 1232;
    static constexpr double designHeight = 920;
    static constexpr double minimumWidth = 924;  // three quarters of the design size
    static constexpr double minimumHeight = 690;
    static constexpr double margin = 28;
    static constexpr double shelfSpacing = 18;
    static constexpr double columnSpacing = 26;
    static constexpr double playerWidth = 430;
    static constexpr double deckColumnWidth = 720;
    static constexpr double deckTunerSpacing = 18;
    static constexpr double shelfWidth = 1176;

    // s = min(w / 1232, h / 920, 1), for a window no smaller than the minimum content.
    // A rack whose devices stand taller than the design height scales by its own height,
    // so the shelf is never cut off.
    static double scale(QSizeF window, double rackHeight = designHeight) {
        const double w = std::max(window.width(), minimumWidth);
        const double h = std::max(window.height(), minimumHeight);
        return std::min({w / designWidth, h / std::max(rackHeight, designHeight), 1.0});
    }

    // Where the rack's design frame (w / s by h / s) puts content of the given design
    // size: centred in both directions.
    static QPointF contentOrigin(QSizeF window, QSizeF content) {
        const double s = scale(window);
        const double w = std::max(window.width(), minimumWidth) / s;
        const double h = std::max(window.height(), minimumHeight) / s;
        return {(w - content.width()) / 2, (h - content.height()) / 2};
    }
};

}  // namespace norvo
