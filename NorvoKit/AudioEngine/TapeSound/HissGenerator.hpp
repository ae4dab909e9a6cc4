#pragma once

#include "AudioEngine/TapeSound/NoiseGenerator.hpp"

namespace norvo {

// Tape hiss: independent white noise on each channel. The level is given as the RMS the
// listener should get; the caller passes how much the stages after this one change the
// noise power on each channel, so the hiss reaches the output at the level set.
class HissGenerator {
public:
    HissGenerator(double levelDb, double leftPowerGain, double rightPowerGain);

    void reset() noexcept;
    void process(float* left, float* right, int frames) noexcept;

private:
    float leftScale_;
    float rightScale_;
    NoiseGenerator leftNoise_;
    NoiseGenerator rightNoise_;
};

}  // namespace norvo
