#pragma once

namespace norvo {

// The result of checking an image for an artwork slot.
struct ArtworkCheck {
    enum class Kind { ok, wrongAspect, tooSmall };

    Kind kind = Kind::ok;
    // wrongAspect: the width-to-height ratios the slot wants and the image has.
    double expected = 0;
    double actual = 0;
    // tooSmall: the least pixel size the slot accepts.
    int minimumWidth = 0;
    int minimumHeight = 0;

    static ArtworkCheck ok() { return {}; }
    static ArtworkCheck wrongAspect(double expected, double actual) {
        return {Kind::wrongAspect, expected, actual, 0, 0};
    }
    static ArtworkCheck tooSmall(int minimumWidth, int minimumHeight) {
        return {Kind::tooSmall, 0, 0, minimumWidth, minimumHeight};
    }

    bool operator==(const ArtworkCheck&) const = default;
};

}  // namespace norvo
