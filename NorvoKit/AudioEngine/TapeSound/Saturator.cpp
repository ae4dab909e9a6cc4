#include "AudioEngine/TapeSound/Saturator.hpp"

#include <cmath>

namespace norvo {

Saturator::Saturator(double driveDb)
    : drive_(static_cast<float>(std::pow(10.0, driveDb / 20.0))), inverseDrive_(1.0f / drive_) {}

void Saturator::process(float* left, float* right, int frames) const noexcept {
    for (int i = 0; i < frames; ++i) {
        left[i] = fastTanh(drive_ * left[i]) * inverseDrive_;
        right[i] = fastTanh(drive_ * right[i]) * inverseDrive_;
    }
}

}  // namespace norvo
