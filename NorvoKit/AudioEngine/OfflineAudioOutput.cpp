#include "AudioEngine/OfflineAudioOutput.hpp"

#include "AudioEngine/AudioCore.hpp"

namespace norvo {

int OfflineAudioOutput::renderFrames(int frames) {
    if (frames <= 0 || !isRunning()) return 0;
    left_.resize(static_cast<std::size_t>(frames));
    right_.resize(static_cast<std::size_t>(frames));
    core_.render(frames, left_.data(), right_.data());
    return frames;
}

}  // namespace norvo
