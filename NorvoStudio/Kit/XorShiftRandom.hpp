#pragma once
#include <cstdint>

namespace norvo {

// The fixed-seed 64-bit xorshift generator behind every texture (metal streaks, wood grain,
// kraft flecks, cables), so a redraw gives the same pixels on every run and every CPU.
class XorShiftRandom {
public:
    explicit XorShiftRandom(std::uint64_t seed) : state_(seed) {}

    // One step: s ^= s << 13; s ^= s >> 7; s ^= s << 17; yields the new state.
    std::uint64_t next();
    // An unbiased integer in 0...2^53: the high 64 bits of next() × (2^53 + 1), drawing again
    // while the low 64 bits are below 2^53 − 2047.
    std::uint64_t nextBounded53();
    // A value in the closed range [a, b]: b when the integer k is 2^53, else
    // (k × 2^−53) × width + a. The two-argument form takes width = b − a.
    double draw(double a, double b);
    double draw(double a, double b, double width);
    // True when bit 17 of the next output is 0.
    bool coin();

    std::uint64_t state() const { return state_; }

private:
    std::uint64_t state_;
};

}  // namespace norvo
