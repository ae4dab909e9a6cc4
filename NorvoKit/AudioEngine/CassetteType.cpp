#include "AudioEngine/CassetteType.hpp"

#include <algorithm>
#include <cmath>

#include "AudioEngine/TapeClock.hpp"

namespace norvo {

const std::vector<CassetteType>& CassetteType::standard() {
    static const std::vector<CassetteType> types{{"C46", 1380}, {"C60", 1800}, {"C90", 2700}, {"C120", 3600}};
    return types;
}

CassetteType CassetteType::c60() { return {"C60", 1800}; }

std::optional<CassetteType> CassetteType::make(const std::string& name, int sideSeconds) {
    for (const auto& type : standard()) {
        if (type.name == name) {
            if (type.sideSeconds != sideSeconds) return std::nullopt;
            return type;
        }
    }
    if (name != "custom") return std::nullopt;
    if (sideSeconds < 1 || sideSeconds > maximumCustomSeconds) return std::nullopt;
    return CassetteType{"custom", sideSeconds};
}

CassetteType CassetteType::custom(int sideSeconds) {
    return CassetteType{"custom", std::clamp(sideSeconds, 1, maximumCustomSeconds)};
}

std::string CassetteType::description() const {
    if (!isCustom()) return name;
    const double minutes = static_cast<double>(sideSeconds) * 2.0 / 60.0;
    // Appended rather than "C" + ..., which GCC 12 at -O3 flags with a false -Wrestrict.
    std::string text = "C";
    text += std::to_string(std::llround(minutes));
    return text;
}

int CassetteType::minutesPerSide() const {
    return static_cast<int>(std::llround(static_cast<double>(sideSeconds) / 60.0));
}

std::string CassetteType::identifier() const { return name + "-" + std::to_string(sideSeconds); }

int64_t CassetteType::sideFrames() const { return TapeClock::frames(static_cast<double>(sideSeconds)); }

}  // namespace norvo
