#pragma once
#include <cstddef>
#include <span>

#include "Support/AudioFixtures.hpp"

namespace norvo::test {

// Largest magnitude of the samples.
float peak(std::span<const float> samples);

// Root mean square of the samples.
double rms(std::span<const float> samples);

// Amplitude of the sinusoid at `frequency` in the samples (Goertzel over the whole span,
// Hann-windowed): a full-scale sine gives 1, a tone elsewhere nearly 0.
double toneAmplitude(std::span<const float> samples, double frequency, double sampleRate = 44100.0);

// The shift (within ±maxLag frames) at which `signal` best matches `reference`:
// signal[i + lag] ≈ reference[i]. Normalised cross-correlation over the reference span.
int bestLag(std::span<const float> reference, std::span<const float> signal, int maxLag);

// Largest absolute difference between two spans of the same length.
float maximumDifference(std::span<const float> a, std::span<const float> b);

// The largest difference of either channel over the frames of `heard` (the reference holds at
// least as many), and the first frame where it is.
struct WorstDifference {
    float difference = 0;
    std::size_t frame = 0;
};
WorstDifference worstDifference(const StereoSamples& heard, const StereoSamples& reference);

}  // namespace norvo::test
