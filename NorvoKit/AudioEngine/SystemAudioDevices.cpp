#include "AudioEngine/SystemAudioDevices.hpp"

#include <memory>
#include <optional>
#include <stdexcept>

#include "AudioEngine/PortAudioOutput.hpp"
#include "AudioEngine/PulseAudioOutput.hpp"

namespace norvo {

FallbackAudioOutput::DeviceFactory SystemAudioDevices::factory() {
    // Shared by the copies a FallbackAudioOutput makes; called on one supervisor at a time.
    auto lastPortAudio = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
    return [lastPortAudio](AudioRenderer& renderer) -> std::unique_ptr<AudioOutput> {
        switch (PulseAudioOutput::probe(probeTimeout)) {
        case PulseAudioOutput::Server::answers: return std::make_unique<PulseAudioOutput>(renderer);
        case PulseAudioOutput::Server::silent:
            // A server that has stopped: PortAudio's way to it would hang as well.
            throw std::runtime_error("The sound server does not answer.");
        case PulseAudioOutput::Server::none: break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (*lastPortAudio && now - **lastPortAudio < portAudioInterval)
            throw std::runtime_error("No audio output device was found.");
        *lastPortAudio = now;
        return std::make_unique<PortAudioOutput>(renderer);
    };
}

FallbackAudioOutput::Options SystemAudioDevices::options() {
    FallbackAudioOutput::Options options;
    // A server restarted after a crash plays again within a second.
    options.retryInterval = std::chrono::milliseconds(500);
    return options;
}

}  // namespace norvo
