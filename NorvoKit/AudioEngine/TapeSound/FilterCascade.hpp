#pragma once
#include <array>

#include "AudioEngine/TapeSound/BiquadCoefficients.hpp"

namespace norvo {

// Up to three biquads in series on both channels (head bump, low cut, high cut).
// State is kept in double; a tiny constant fed into every section keeps its state far
// above the subnormal range during silence, and outputs below -300 dBFS are flushed to 0,
// so silence never slows the render down.
class FilterCascade {
public:
    static constexpr int maximumSections = 3;

    void add(const BiquadCoefficients& section);
    int sectionCount() const { return count_; }

    // Power gain for white noise: the energy of the cascade's impulse response.
    double noisePowerGain(double sampleRate) const;

    void reset() noexcept;
    void process(float* left, float* right, int frames) noexcept;

private:
    struct State {
        double z1 = 0, z2 = 0;
    };

    std::array<BiquadCoefficients, maximumSections> sections_{};
    std::array<State, maximumSections> left_{};
    std::array<State, maximumSections> right_{};
    int count_ = 0;
};

}  // namespace norvo
