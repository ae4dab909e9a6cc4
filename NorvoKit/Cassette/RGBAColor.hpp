#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

// An sRGB colour with opacity, each component 0...1.
struct RGBAColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // "#RRGGBB" (opaque) or "#RRGGBBAA", either case; nothing for any other text.
    static std::optional<RGBAColor> fromHex(std::string_view text);
    // "#RRGGBBAA" in upper case, components clamped and rounded to 8 bits.
    std::string hexText() const;

    bool operator==(const RGBAColor&) const = default;
};

}  // namespace norvo
