#pragma once
#include <cstdint>

namespace norvo {

// A sine by rotation: one complex multiply per sample instead of a call to sin. It is
// resynchronised from the exact phase every 1024 samples of its own count, so rounding
// cannot build up and the output does not depend on how the audio is cut into blocks.
class QuadratureOscillator {
public:
    QuadratureOscillator(double frequency, double sampleRate);

    void reset() noexcept;

    // sin(2π·f·n/fs) for n = 0, 1, 2, … on successive calls.
    double next() noexcept {
        double value = sine_;
        double c = cosine_ * cosStep_ - sine_ * sinStep_;
        sine_ = sine_ * cosStep_ + cosine_ * sinStep_;
        cosine_ = c;
        if ((++count_ & (resyncInterval - 1)) == 0) resync();
        return value;
    }

private:
    static constexpr uint64_t resyncInterval = 1024;

    void resync() noexcept;

    double step_;  // radians per sample
    double cosStep_;
    double sinStep_;
    double cosine_ = 1;
    double sine_ = 0;
    uint64_t count_ = 0;
};

}  // namespace norvo
