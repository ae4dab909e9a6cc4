#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace norvo {

// The raw values of an enumeration whose cases are numbered 0, 1, 2... in declaration
// order: one list serves both directions.
template <typename Enum, std::size_t N>
struct RawValueTable {
    std::array<std::string_view, N> names;

    constexpr std::string_view name(Enum value) const { return names.at(static_cast<std::size_t>(value)); }
    constexpr std::optional<Enum> find(std::string_view raw) const {
        for (std::size_t i = 0; i < N; ++i)
            if (names[i] == raw) return static_cast<Enum>(i);
        return std::nullopt;
    }
};

}  // namespace norvo
