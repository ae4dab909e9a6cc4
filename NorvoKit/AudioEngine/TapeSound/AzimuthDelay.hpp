#pragma once
#include <array>
#include <vector>

namespace norvo {

// A head tilted against the track reads one channel late. That channel goes through a
// windowed-sinc fractional delay; the other is delayed by the filter's integer centre, so
// the difference between them is exactly the delay asked for.
class AzimuthDelay {
public:
    static constexpr int taps = 24;
    static constexpr int centre = taps / 2 - 1;

    // `delaySamples` > 0 delays the right channel, < 0 the left.
    AzimuthDelay(double delaySamples, int maximumFrames);

    // How the fractional delay changes the power of white noise on each channel.
    double leftPowerGain() const { return delayRight_ ? 1.0 : kernelPower_; }
    double rightPowerGain() const { return delayRight_ ? kernelPower_ : 1.0; }

    void reset() noexcept;
    void process(float* left, float* right, int frames) noexcept;

private:
    bool delayRight_;
    int integerDelay_;
    std::array<float, taps> kernel_{};
    double kernelPower_ = 1;
    int lateHistory_;               // input samples the late channel needs from earlier blocks
    std::vector<float> lateLine_;   // [history | block] of the late channel
    std::vector<float> plainLine_;  // [history | block] of the other channel
};

}  // namespace norvo
