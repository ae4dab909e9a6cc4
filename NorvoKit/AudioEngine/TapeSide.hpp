#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

enum class TapeSide : int { a = 0, b = 1 };

inline constexpr std::array<TapeSide, 2> allTapeSides{TapeSide::a, TapeSide::b};

inline int rawValue(TapeSide side) { return static_cast<int>(side); }

inline std::optional<TapeSide> tapeSideFromRaw(int raw) {
    if (raw == 0) return TapeSide::a;
    if (raw == 1) return TapeSide::b;
    return std::nullopt;
}

// The letter shown for a side: "A" or "B".
inline std::string letter(TapeSide side) { return side == TapeSide::a ? "A" : "B"; }

inline std::optional<TapeSide> tapeSideFromLetter(std::string_view text) {
    if (text == "A" || text == "a") return TapeSide::a;
    if (text == "B" || text == "b") return TapeSide::b;
    return std::nullopt;
}

inline TapeSide other(TapeSide side) { return side == TapeSide::a ? TapeSide::b : TapeSide::a; }

// The name of the side's file in a workspace; a recovery copy's manifest names it too.
inline const char* sideFileName(TapeSide side) { return side == TapeSide::a ? "side-a.pcm" : "side-b.pcm"; }

}  // namespace norvo
