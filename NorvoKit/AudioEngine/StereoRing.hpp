#pragma once
#include <cstddef>

namespace norvo {

// A stereo ring of float frames over two buffers the owner allocates and frees.
// Not thread-safe: the owner's lock is held around every call.
struct StereoRing {
    std::size_t capacity = 0;
    float* left = nullptr;
    float* right = nullptr;
    std::size_t readIndex = 0;
    std::size_t count = 0;

    std::size_t space() const { return capacity - count; }

    // The caller guarantees frames <= capacity - count.
    void write(const float* srcLeft, const float* srcRight, std::size_t frames);
    // As write(), with frames of silence.
    void writeSilence(std::size_t frames);
    // Copies min(frames, count) frames out; returns how many.
    std::size_t read(float* dstLeft, float* dstRight, std::size_t frames);
    // Drops up to `frames` of the oldest frames; returns how many.
    std::size_t discard(std::size_t frames);
    void reset() {
        readIndex = 0;
        count = 0;
    }
};

}  // namespace norvo
