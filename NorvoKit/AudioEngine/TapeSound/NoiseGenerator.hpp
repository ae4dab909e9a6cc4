#pragma once
#include <cstdint>

namespace norvo {

// xorshift64*: fast, allocation-free and reproducible from its seed, so a tape sound
// renders the same hiss and dropouts every time playback starts.
class NoiseGenerator {
public:
    explicit NoiseGenerator(uint64_t seed = 0x9E3779B97F4A7C15ull) : seed_(seed ? seed : 1), state_(seed_) {}

    void reset() noexcept { state_ = seed_; }

    uint64_t next() noexcept {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }

    // Uniform in (0, 1]: safe to take the logarithm of.
    double unit() noexcept { return static_cast<double>((next() >> 11) + 1) * 0x1p-53; }

    // The difference of two uniform values: triangular in (-1, 1), RMS 1/sqrt(6).
    float triangular() noexcept {
        uint64_t bits = next();
        auto a = static_cast<int32_t>(bits >> 40);
        auto b = static_cast<int32_t>((bits >> 16) & 0xFFFFFF);
        return static_cast<float>(a - b) * 0x1p-24f;
    }

    static constexpr double triangularRMS = 0.40824829046386301637;  // 1/sqrt(6)

private:
    uint64_t seed_;
    uint64_t state_;
};

}  // namespace norvo
