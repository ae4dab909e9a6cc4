#pragma once
#include <optional>
#include <string>

namespace norvo {

enum class TransportMode { stopped, playing, recordArmed, recording, fastForward, rewinding };

// Raw values are the case names.
std::string rawValue(TransportMode mode);
std::optional<TransportMode> transportModeFromRaw(const std::string& raw);

inline bool isRecordingOrArmed(TransportMode mode) {
    return mode == TransportMode::recording || mode == TransportMode::recordArmed;
}
inline bool isWinding(TransportMode mode) {
    return mode == TransportMode::fastForward || mode == TransportMode::rewinding;
}

}  // namespace norvo
