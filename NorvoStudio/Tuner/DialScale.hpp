#pragma once
#include <QPainter>
#include <QRectF>
#include <optional>
#include <set>

namespace norvo {

// The printed band scale: 21 ticks numbered 0 to 100, a detent per band station, an
// amber dot under each stored one, and the red needle; "SCANNING THE BAND…" blinks
// instead of the detents while the band loads.
struct DialScale {
    int count = 0;
    std::optional<int> position;
    std::set<int> presets;
    bool lit = false;
    bool scanning = false;
    bool scanningLit = false;  // the message in the lit phase of its blink

    static constexpr qreal margin = 8;
    static constexpr qreal height = 30;

    static qreal tickX(int tick, qreal width);
    // Station j of `count` spread over the span; a lone station in the middle.
    static qreal stationX(double station, int count, qreal width);

    // `needle` is the needle's (animated) station position.
    void paint(QPainter& painter, const QRectF& rect, double needle) const;

    bool operator==(const DialScale&) const = default;
};

}  // namespace norvo
