#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace norvo {

namespace {

// Tape playback is within ±1; anything far outside, or not a number, is a fault upstream
// that must not reach the filters' state. Values below -300 dBFS become 0 so that no
// stage ever works on subnormal numbers.
inline float sanitised(float x) {
    constexpr float ceiling = 4.0f;
    constexpr float floor = 1e-15f;
    float magnitude = std::fabs(x);
    if (magnitude >= floor && magnitude <= ceiling) return x;
    return magnitude > ceiling ? std::copysign(ceiling, x) : 0.0f;
}

double decibels(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace

TapeSoundProcessor::TapeSoundProcessor(const SoundProfile& profile, double sampleRate)
    : TapeSoundProcessor(profile.settings, sampleRate) {}

TapeSoundProcessor::TapeSoundProcessor(const TapeSoundSettings& settings, double sampleRate) {
    if (!(sampleRate >= 8000 && sampleRate <= 768000)) throw std::invalid_argument("Unsupported sample rate");
    // Parsed profiles are in range already; settings built in code may not be.
    const TapeSoundSettings s = settings.withinRanges();
    bypass_ = s.isNeutral();
    if (bypass_) return;

    if (s.driveDb > 0) saturator_.emplace(s.driveDb);
    if (s.dropoutsPerMinute > 0 && s.dropoutDepthDb > 0)
        dropouts_.emplace(s.dropoutsPerMinute, s.dropoutDepthDb, s.dropoutDurationMs, sampleRate);

    // Broad enough to sound like a head's low-end resonance rather than a tone control.
    constexpr double headBumpQ = 1.0;
    const double nyquistGuard = 0.49 * sampleRate;
    if (s.headBumpGainDb > 0)
        filters_.add(BiquadCoefficients::peaking(std::min(s.headBumpFrequencyHz, nyquistGuard), s.headBumpGainDb,
                                                 headBumpQ, sampleRate));
    if (s.lowCutHz > 0)
        filters_.add(BiquadCoefficients::highPass(std::min(s.lowCutHz, nyquistGuard), BiquadCoefficients::butterworthQ,
                                                  sampleRate));
    if (s.highCutHz > 0)
        filters_.add(BiquadCoefficients::lowPass(std::min(s.highCutHz, nyquistGuard), BiquadCoefficients::butterworthQ,
                                                 sampleRate));

    if (s.azimuthErrorUs != 0) azimuth_.emplace(s.azimuthErrorUs * 1e-6 * sampleRate, maximumFrames);
    if (s.crosstalkLevelDb) crosstalk_ = static_cast<float>(decibels(*s.crosstalkLevelDb));

    if (s.hissLevelDb) {
        // Hiss is set as heard: undo what the filters, the fractional delay and the
        // crosstalk (which adds the other channel's independent noise) do to its power.
        double common = (filters_.sectionCount() > 0 ? filters_.noisePowerGain(sampleRate) : 1.0) *
                        (1.0 + static_cast<double>(crosstalk_) * crosstalk_);
        double left = common * (azimuth_ ? azimuth_->leftPowerGain() : 1.0);
        double right = common * (azimuth_ ? azimuth_->rightPowerGain() : 1.0);
        hiss_.emplace(*s.hissLevelDb, left, right);
    }

    if (s.wowDepthPercent > 0 || s.flutterDepthPercent > 0)
        wowFlutter_.emplace(s.wowDepthPercent / 100, s.wowRateHz, s.flutterDepthPercent / 100, s.flutterRateHz,
                            sampleRate);
}

void TapeSoundProcessor::reset() noexcept {
    if (dropouts_) dropouts_->reset();
    if (hiss_) hiss_->reset();
    filters_.reset();
    if (azimuth_) azimuth_->reset();
    if (wowFlutter_) wowFlutter_->reset();
}

void TapeSoundProcessor::process(float* left, float* right, int frames) noexcept {
    if (bypass_ || !left || !right) return;
    for (int done = 0; done < frames; done += maximumFrames)
        processChunk(left + done, right + done, std::min(maximumFrames, frames - done));
}

void TapeSoundProcessor::processChunk(float* left, float* right, int frames) noexcept {
    for (int i = 0; i < frames; ++i) {
        left[i] = sanitised(left[i]);
        right[i] = sanitised(right[i]);
    }
    if (saturator_) saturator_->process(left, right, frames);
    if (dropouts_) dropouts_->process(left, right, frames);
    if (hiss_) hiss_->process(left, right, frames);
    if (filters_.sectionCount() > 0) filters_.process(left, right, frames);
    if (azimuth_) azimuth_->process(left, right, frames);
    if (crosstalk_ != 0) {
        const float c = crosstalk_;
        for (int i = 0; i < frames; ++i) {
            float l = left[i];
            float r = right[i];
            left[i] = l + c * r;
            right[i] = r + c * l;
        }
    }
    if (wowFlutter_) wowFlutter_->process(left, right, frames);
}

}  // namespace norvo
