#pragma once
#include <cstdint>
#include <optional>

#include "AudioEngine/CassetteTransport.hpp"
#include "AudioEngine/DeckInput.hpp"
#include "AudioEngine/RecordingPass.hpp"
#include "AudioEngine/StereoLevel.hpp"

namespace norvo {

// A copy of the audio core's state handed to the main thread every tick.
struct CoreSnapshot {
    CassetteTransport transport;
    bool sourceLoaded = false;
    bool sourcePlaying = false;
    int64_t sourcePosition = 0;
    int64_t sourceDuration = 0;
    uint64_t sourceEndCount = 0;
    uint64_t autoPauseCount = 0;
    StereoLevel sourceLevel;
    StereoLevel deckLevel;
    StereoLevel tunerLevel;
    bool tunerLocked = false;
    DeckInput deckInput = DeckInput::sourcePlayer;
    uint64_t renderedFrames = 0;
    uint64_t underrunFrames = 0;
    // Buffers the output device reported late (underflow) or dropped (overflow).
    uint64_t outputUnderflowCount = 0;
    uint64_t outputOverflowCount = 0;
    std::optional<RecordingPass> recordingPass;

    bool operator==(const CoreSnapshot&) const = default;
};

}  // namespace norvo
