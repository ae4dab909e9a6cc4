#include "Cassette/RGBAColor.hpp"

#include <algorithm>
#include <cmath>

namespace norvo {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int toByte(double component) {
    if (!std::isfinite(component)) return 0;
    return static_cast<int>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

}  // namespace

std::optional<RGBAColor> RGBAColor::fromHex(std::string_view text) {
    if (text.empty() || text.front() != '#') return std::nullopt;
    text.remove_prefix(1);
    if (text.size() != 6 && text.size() != 8) return std::nullopt;
    double components[4] = {0, 0, 0, 1};
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = hexDigit(text[i]);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        components[i / 2] = (hi * 16 + lo) / 255.0;
    }
    return RGBAColor{components[0], components[1], components[2], components[3]};
}

std::string RGBAColor::hexText() const {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "#";
    for (double component : {red, green, blue, alpha}) {
        const int byte = toByte(component);
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 0x0F]);
    }
    return out;
}

}  // namespace norvo
