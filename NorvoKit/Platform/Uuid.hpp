#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

// A random (version 4) UUID; its text is lower-case with hyphens.
struct Uuid {
    std::array<uint8_t, 16> bytes{};

    static Uuid random();
    static std::optional<Uuid> parse(std::string_view text);  // either case
    static bool isUuidText(std::string_view text) { return parse(text).has_value(); }

    std::string text() const;       // "1b4e28ba-2fa1-11d2-883f-0016d3cca427"
    std::string upperText() const;  // the same in upper case

    bool operator==(const Uuid&) const = default;
    auto operator<=>(const Uuid&) const = default;
};

}  // namespace norvo
