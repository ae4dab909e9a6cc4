#include "AudioEngine/TapeSound/DropoutGenerator.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace norvo {

DropoutGenerator::DropoutGenerator(double perMinute, double depthDb, double durationMs, double sampleRate)
    : meanDuration_(durationMs / 1000.0 * sampleRate), depthDb_(depthDb), random_(0xD40F0075C0FFEEull) {
    // The gaps make up what the dips leave of a minute, so the rate is what was set.
    // Capped so that a rate near zero still gives gaps that fit the sample counter.
    double period = std::min(60.0 * sampleRate / std::max(perMinute, 1e-9), 1e15);
    meanGap_ = std::max(period - meanDuration_, 1.0);
    reset();
}

void DropoutGenerator::reset() noexcept {
    random_.reset();
    remaining_ = 0;
    scheduleNext();
}

void DropoutGenerator::scheduleNext() noexcept {
    untilNext_ = std::max<int64_t>(1, static_cast<int64_t>(-std::log(random_.unit()) * meanGap_));
}

void DropoutGenerator::begin() noexcept {
    double length = std::max(2.0, std::round(meanDuration_ * (0.5 + random_.unit())));
    double depthDb = depthDb_ * (0.5 + 0.5 * random_.unit());
    dipDepth_ = 1.0 - std::pow(10.0, -depthDb / 20.0);
    remaining_ = static_cast<int64_t>(length);
    double cosStep = std::cos(2 * std::numbers::pi / length);
    twiceCosStep_ = 2 * cosStep;
    cosine_ = 1;
    previousCosine_ = cosStep;  // cos(-2π/L)
}

void DropoutGenerator::process(float* left, float* right, int frames) noexcept {
    int i = 0;
    while (i < frames) {
        if (remaining_ == 0) {
            int64_t skip = std::min<int64_t>(untilNext_, frames - i);
            i += static_cast<int>(skip);
            untilNext_ -= skip;
            if (untilNext_ == 0) begin();
            continue;
        }
        int run = static_cast<int>(std::min<int64_t>(remaining_, frames - i));
        for (int k = 0; k < run; ++k, ++i) {
            auto gain = static_cast<float>(1.0 - dipDepth_ * 0.5 * (1.0 - cosine_));
            left[i] *= gain;
            right[i] *= gain;
            double next = twiceCosStep_ * cosine_ - previousCosine_;
            previousCosine_ = cosine_;
            cosine_ = next;
        }
        remaining_ -= run;
        if (remaining_ == 0) scheduleNext();
    }
}

}  // namespace norvo
