#pragma once
#include <optional>

#include "AudioEngine/TapeSound/AzimuthDelay.hpp"
#include "AudioEngine/TapeSound/DropoutGenerator.hpp"
#include "AudioEngine/TapeSound/FilterCascade.hpp"
#include "AudioEngine/TapeSound/HissGenerator.hpp"
#include "AudioEngine/TapeSound/Saturator.hpp"
#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "AudioEngine/TapeSound/TapeSoundSettings.hpp"
#include "AudioEngine/TapeSound/WowFlutter.hpp"

namespace norvo {

// Colours tape playback as a profile describes: saturation, dropouts, hiss, head bump,
// low cut, high cut, azimuth error, crosstalk, wow and flutter, in that order.
// Built off the audio thread, where everything it needs is allocated; reset() and
// process() then never allocate, lock or block. Stages whose setting is neutral are left
// out, and a profile that is neutral throughout passes the audio through untouched.
class TapeSoundProcessor {
public:
    static constexpr int maximumFrames = 4096;

    explicit TapeSoundProcessor(const SoundProfile& profile, double sampleRate = 44100.0);
    explicit TapeSoundProcessor(const TapeSoundSettings& settings, double sampleRate = 44100.0);

    TapeSoundProcessor(const TapeSoundProcessor&) = delete;
    TapeSoundProcessor& operator=(const TapeSoundProcessor&) = delete;

    bool isBypass() const noexcept { return bypass_; }

    // Back to the state of a fresh processor: empty delay lines, noise from its seed.
    void reset() noexcept;
    // In place; any number of frames (processed in pieces of maximumFrames).
    void process(float* left, float* right, int frames) noexcept;

private:
    void processChunk(float* left, float* right, int frames) noexcept;

    bool bypass_ = true;
    std::optional<Saturator> saturator_;
    std::optional<DropoutGenerator> dropouts_;
    std::optional<HissGenerator> hiss_;
    FilterCascade filters_;
    std::optional<AzimuthDelay> azimuth_;
    float crosstalk_ = 0;  // linear gain of each channel leaking into the other
    std::optional<WowFlutter> wowFlutter_;
};

}  // namespace norvo
