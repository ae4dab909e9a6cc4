#pragma once
#include <cstdint>
#include <optional>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "AudioEngine/TransportCommand.hpp"
#include "AudioEngine/TransportMode.hpp"

namespace norvo {

// The deck's transport: mode, loaded cassette, head and wind state. A plain value;
// the audio core owns one and mutates it under its lock.
struct CassetteTransport {
    struct Cassette {
        CassetteType type;
        TapeSide side = TapeSide::a;
        bool protectedA = false;
        bool protectedB = false;

        bool isProtected(TapeSide s) const { return s == TapeSide::a ? protectedA : protectedB; }
        bool operator==(const Cassette&) const = default;
    };

    static constexpr double initialWindSpeed = 2.0;
    static constexpr double maximumWindSpeed = 32.0;
    static constexpr double windAcceleration = 10.0;  // speed multiple gained per second of audio

    TransportMode mode = TransportMode::stopped;
    std::optional<Cassette> cassette;
    int64_t head = 0;
    double windSpeed = 0;
    double windRemainder = 0;
    bool recordingLocked = false;
    bool resumeAfterWind = false;

    // Frames on one side of the loaded cassette; 0 without a cassette.
    int64_t sideEnd() const;
    bool headSideProtected() const;

    // Loads a cassette: stopped, wind state cleared, head clamped to the side.
    void load(const Cassette& loaded, int64_t headFrame);
    void eject();

    // Returns true when the command was accepted.
    bool handle(TransportCommand command);

    // Moves the head by one buffer of `frames` frames of audio.
    void advance(int64_t frames);

    // Sets a side's protection; protecting the side under the head while recording
    // or armed stops the transport.
    void setProtected(TapeSide side, bool isProtected);

    bool operator==(const CassetteTransport&) const = default;

private:
    void clearWind();
};

}  // namespace norvo
