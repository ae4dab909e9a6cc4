#pragma once
#include <optional>
#include <string>

namespace norvo {

// Which source the deck records and monitors.
enum class DeckInput { sourcePlayer, tuner };

inline std::string rawValue(DeckInput input) { return input == DeckInput::sourcePlayer ? "sourcePlayer" : "tuner"; }
inline std::optional<DeckInput> deckInputFromRaw(const std::string& raw) {
    if (raw == "sourcePlayer") return DeckInput::sourcePlayer;
    if (raw == "tuner") return DeckInput::tuner;
    return std::nullopt;
}

}  // namespace norvo
