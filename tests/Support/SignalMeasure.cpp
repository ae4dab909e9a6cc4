#include "Support/SignalMeasure.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace norvo::test {

float peak(std::span<const float> samples) {
    float result = 0;
    for (float s : samples) result = std::max(result, std::fabs(s));
    return result;
}

double rms(std::span<const float> samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (float s : samples) sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

double toneAmplitude(std::span<const float> samples, double frequency, double sampleRate) {
    const std::size_t n = samples.size();
    if (n < 2) return 0;
    const double omega = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double coefficient = 2.0 * std::cos(omega);
    double s1 = 0, s2 = 0, windowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(i) / double(n - 1));
        windowSum += window;
        const double s0 = double(samples[i]) * window + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2.0 * std::sqrt(std::max(0.0, power)) / windowSum;
}

int bestLag(std::span<const float> reference, std::span<const float> signal, int maxLag) {
    int best = 0;
    double bestScore = -std::numeric_limits<double>::infinity();
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double dot = 0, energy = 0;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            const std::ptrdiff_t j = std::ptrdiff_t(i) + lag;
            if (j < 0 || j >= std::ptrdiff_t(signal.size())) continue;
            dot += double(reference[i]) * signal[std::size_t(j)];
            energy += double(signal[std::size_t(j)]) * signal[std::size_t(j)];
        }
        const double score = energy > 0 ? dot / std::sqrt(energy) : 0;
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

float maximumDifference(std::span<const float> a, std::span<const float> b) {
    if (a.size() != b.size()) throw std::invalid_argument("spans of different length");
    float result = 0;
    for (std::size_t i = 0; i < a.size(); ++i) result = std::max(result, std::fabs(a[i] - b[i]));
    return result;
}

WorstDifference worstDifference(const StereoSamples& heard, const StereoSamples& reference) {
    if (heard.frames() > reference.frames()) throw std::invalid_argument("a reference shorter than what was heard");
    WorstDifference worst;
    for (std::size_t i = 0; i < heard.frames(); ++i) {
        const float difference =
            std::max(std::fabs(heard.left[i] - reference.left[i]), std::fabs(heard.right[i] - reference.right[i]));
        if (difference > worst.difference) worst = {difference, i};
    }
    return worst;
}

}  // namespace norvo::test
