#pragma once
#include <cstdint>
#include <limits>

#include "AudioEngine/SourceStream.hpp"

namespace norvo::test {

// A source that never runs dry. What it plays is a plain function (no allocation, so it
// may stand in for a stream on the render path); a quiet sawtooth unless told otherwise.
class EndlessSource final : public SourceStream {
public:
    // Writes `frames` frames of the signal, starting at frame `from`.
    using Signal = void (*)(int64_t from, int frames, float* left, float* right);

    static void sawtooth(int64_t from, int frames, float* left, float* right) {
        for (int i = 0; i < frames; ++i) left[i] = right[i] = float((from + i) % 200) / 400.0f - 0.25f;
    }

    explicit EndlessSource(Signal signal = &sawtooth) : signal_(signal) {}

    int pull(int frames, float* left, float* right) override {
        signal_(position_, frames, left, right);
        position_ += frames;
        return frames;
    }
    int64_t availableFrames() const override { return std::numeric_limits<int32_t>::max(); }
    bool isDrained() const override { return false; }
    int64_t position() const override { return position_; }
    int64_t duration() const override { return std::numeric_limits<int64_t>::max(); }
    void cancel() override {}

private:
    Signal signal_;
    int64_t position_ = 0;
};

}  // namespace norvo::test
