#pragma once
#include <string>
#include <vector>

#include "Cassette/FontRole.hpp"
#include "Cassette/RGBAColor.hpp"

namespace norvo {

// The folded paper insert of the case: cover texts, spine, flap and track lists.
struct JCard {
    std::string title;
    std::string subtitle;
    std::string spineText;
    std::string flapText;
    std::vector<std::string> sideATracks;
    std::vector<std::string> sideBTracks;
    std::string dedication;
    RGBAColor cardColor = defaultCardColor();
    RGBAColor inkColor = defaultInkColor();
    FontRole font = FontRole::marker;

    // #F4F0E6, a warm off-white card.
    static constexpr RGBAColor defaultCardColor() { return {0xF4 / 255.0, 0xF0 / 255.0, 0xE6 / 255.0, 1}; }
    // #1A1A1A
    static constexpr RGBAColor defaultInkColor() { return {0x1A / 255.0, 0x1A / 255.0, 0x1A / 255.0, 1}; }

    bool operator==(const JCard&) const = default;
};

}  // namespace norvo
