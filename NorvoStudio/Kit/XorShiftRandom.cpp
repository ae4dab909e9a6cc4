#include "XorShiftRandom.hpp"

namespace norvo {

namespace {
constexpr std::uint64_t twoTo53 = std::uint64_t(1) << 53;
// 2^64 mod (2^53 + 1): products whose low half falls below it would bias the result.
constexpr std::uint64_t rejectBelow = twoTo53 - 2047;
constexpr double twoToMinus53 = 1.0 / double(twoTo53);
}  // namespace

std::uint64_t XorShiftRandom::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
}

std::uint64_t XorShiftRandom::nextBounded53() {
    for (;;) {
        const unsigned __int128 product = static_cast<unsigned __int128>(next()) * (twoTo53 + 1);
        if (static_cast<std::uint64_t>(product) >= rejectBelow) return static_cast<std::uint64_t>(product >> 64);
    }
}

double XorShiftRandom::draw(double a, double b) { return draw(a, b, b - a); }

double XorShiftRandom::draw(double a, double b, double width) {
    const std::uint64_t k = nextBounded53();
    if (k == twoTo53) return b;
    return (double(k) * twoToMinus53) * width + a;
}

bool XorShiftRandom::coin() { return ((next() >> 17) & 1) == 0; }

}  // namespace norvo
