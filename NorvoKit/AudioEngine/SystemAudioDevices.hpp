#pragma once
#include "AudioEngine/FallbackAudioOutput.hpp"

namespace norvo {

// The sound device the studio plays through: the sound server's own protocol
// (PulseAudioOutput) whenever a server answers, PulseAudio's or PipeWire's, and PortAudio
// on a machine without one. Chosen anew for each attempt, so that a server that starts
// after the studio, or again after it went away, is played through as soon as it answers.
class SystemAudioDevices {
public:
    // For FallbackAudioOutput: a server that is asked costs a connection, so attempts come
    // often; PortAudio probes every sound card when it starts, so it is tried only every
    // portAudioInterval.
    static FallbackAudioOutput::DeviceFactory factory();
    static FallbackAudioOutput::Options options();

    static constexpr std::chrono::milliseconds probeTimeout{500};
    static constexpr std::chrono::milliseconds portAudioInterval{3000};
};

}  // namespace norvo
