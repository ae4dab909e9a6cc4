#include "AudioEngine/TransportMode.hpp"

#include <array>
#include <utility>

namespace norvo {

namespace {
constexpr std::array<std::pair<TransportMode, const char*>, 6> names{{
    {TransportMode::stopped, "stopped"},
    {TransportMode::playing, "playing"},
    {TransportMode::recordArmed, "recordArmed"},
    {TransportMode::recording, "recording"},
    {TransportMode::fastForward, "fastForward"},
    {TransportMode::rewinding, "rewinding"},
}};
}  // namespace

std::string rawValue(TransportMode mode) {
    for (const auto& [m, name] : names)
        if (m == mode) return name;
    return "stopped";
}

std::optional<TransportMode> transportModeFromRaw(const std::string& raw) {
    for (const auto& [m, name] : names)
        if (raw == name) return m;
    return std::nullopt;
}

}  // namespace norvo
