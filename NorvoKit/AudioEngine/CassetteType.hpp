#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norvo {

// A cassette type: name and length of one side. Standard types C46, C60, C90, C120;
// a custom type is named "custom" and holds 1 to 5400 s per side.
struct CassetteType {
    std::string name;
    int sideSeconds = 1800;

    static constexpr int maximumCustomSeconds = 5400;

    static const std::vector<CassetteType>& standard();
    static CassetteType c60();

    // Failable: a standard name must carry its own length; "custom" takes 1 to 5400 s.
    static std::optional<CassetteType> make(const std::string& name, int sideSeconds);
    static CassetteType custom(int sideSeconds);  // clamps into 1...5400

    bool isCustom() const { return name == "custom"; }
    // "C60" for a standard type; "C" + total minutes of both sides for a custom one.
    std::string description() const;
    int minutesPerSide() const;
    // Keeps list items apart: "C60-1800".
    std::string identifier() const;
    int64_t sideFrames() const;

    bool operator==(const CassetteType&) const = default;
};

}  // namespace norvo
