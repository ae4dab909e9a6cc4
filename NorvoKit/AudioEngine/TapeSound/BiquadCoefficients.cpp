#include "AudioEngine/TapeSound/BiquadCoefficients.hpp"

#include <cmath>
#include <numbers>

namespace norvo {

namespace {

BiquadCoefficients normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

}  // namespace

BiquadCoefficients BiquadCoefficients::peaking(double frequency, double gainDb, double q, double sampleRate) {
    double a = std::pow(10.0, gainDb / 40.0);
    double w0 = 2 * std::numbers::pi * frequency / sampleRate;
    double alpha = std::sin(w0) / (2 * q);
    double cosw = std::cos(w0);
    return normalised(1 + alpha * a, -2 * cosw, 1 - alpha * a, 1 + alpha / a, -2 * cosw, 1 - alpha / a);
}

BiquadCoefficients BiquadCoefficients::highPass(double frequency, double q, double sampleRate) {
    double w0 = 2 * std::numbers::pi * frequency / sampleRate;
    double alpha = std::sin(w0) / (2 * q);
    double cosw = std::cos(w0);
    return normalised((1 + cosw) / 2, -(1 + cosw), (1 + cosw) / 2, 1 + alpha, -2 * cosw, 1 - alpha);
}

BiquadCoefficients BiquadCoefficients::lowPass(double frequency, double q, double sampleRate) {
    double w0 = 2 * std::numbers::pi * frequency / sampleRate;
    double alpha = std::sin(w0) / (2 * q);
    double cosw = std::cos(w0);
    return normalised((1 - cosw) / 2, 1 - cosw, (1 - cosw) / 2, 1 + alpha, -2 * cosw, 1 - alpha);
}

}  // namespace norvo
