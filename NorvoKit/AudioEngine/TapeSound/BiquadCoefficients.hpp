#pragma once

namespace norvo {

// One second-order section, normalised so a0 = 1, from the well-known audio-EQ cookbook
// formulas (bilinear transform with prewarping: the corner lands exactly where asked).
struct BiquadCoefficients {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    static constexpr double butterworthQ = 0.70710678118654752440;

    static BiquadCoefficients peaking(double frequency, double gainDb, double q, double sampleRate);
    static BiquadCoefficients highPass(double frequency, double q, double sampleRate);
    static BiquadCoefficients lowPass(double frequency, double q, double sampleRate);

    bool operator==(const BiquadCoefficients&) const = default;
};

}  // namespace norvo
