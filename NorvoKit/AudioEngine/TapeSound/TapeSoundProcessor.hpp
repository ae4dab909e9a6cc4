#pragma once

#include "AudioEngine/TapeSound/SoundProfile.hpp"

namespace norvo {

// Colours tape playback. Built (and allocated) off the audio thread from a profile;
// reset() and process() are real-time safe.
class TapeSoundProcessor {
public:
    explicit TapeSoundProcessor(const SoundProfile& profile, double sampleRate = 44100.0);
    void reset() noexcept;
    void process(float* left, float* right, int frames) noexcept;
};

}  // namespace norvo
