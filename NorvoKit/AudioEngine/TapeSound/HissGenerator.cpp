#include "AudioEngine/TapeSound/HissGenerator.hpp"

#include <cmath>

namespace norvo {

namespace {

float scale(double levelDb, double powerGain) {
    double rms = std::pow(10.0, levelDb / 20.0);
    return static_cast<float>(rms / NoiseGenerator::triangularRMS / std::sqrt(powerGain));
}

}  // namespace

HissGenerator::HissGenerator(double levelDb, double leftPowerGain, double rightPowerGain)
    : leftScale_(scale(levelDb, leftPowerGain)),
      rightScale_(scale(levelDb, rightPowerGain)),
      leftNoise_(0x5EED0001A55A5EEDull),
      rightNoise_(0x5EED0002B66B5EEDull) {}

void HissGenerator::reset() noexcept {
    leftNoise_.reset();
    rightNoise_.reset();
}

void HissGenerator::process(float* left, float* right, int frames) noexcept {
    for (int i = 0; i < frames; ++i) {
        left[i] += leftScale_ * leftNoise_.triangular();
        right[i] += rightScale_ * rightNoise_.triangular();
    }
}

}  // namespace norvo
