#include "AudioEngine/StereoRing.hpp"

#include <algorithm>
#include <cstring>

namespace norvo {

void StereoRing::write(const float* srcLeft, const float* srcRight, std::size_t frames) {
    if (capacity == 0 || frames == 0) return;
    std::size_t writeIndex = (readIndex + count) % capacity;
    const std::size_t first = std::min(frames, capacity - writeIndex);
    std::memcpy(left + writeIndex, srcLeft, first * sizeof(float));
    std::memcpy(right + writeIndex, srcRight, first * sizeof(float));
    if (frames > first) {
        std::memcpy(left, srcLeft + first, (frames - first) * sizeof(float));
        std::memcpy(right, srcRight + first, (frames - first) * sizeof(float));
    }
    count += frames;
}

void StereoRing::writeSilence(std::size_t frames) {
    if (capacity == 0 || frames == 0) return;
    const std::size_t writeIndex = (readIndex + count) % capacity;
    const std::size_t first = std::min(frames, capacity - writeIndex);
    std::fill_n(left + writeIndex, first, 0.0f);
    std::fill_n(right + writeIndex, first, 0.0f);
    std::fill_n(left, frames - first, 0.0f);
    std::fill_n(right, frames - first, 0.0f);
    count += frames;
}

std::size_t StereoRing::read(float* dstLeft, float* dstRight, std::size_t frames) {
    const std::size_t n = std::min(frames, count);
    if (n == 0) return 0;
    const std::size_t first = std::min(n, capacity - readIndex);
    std::memcpy(dstLeft, left + readIndex, first * sizeof(float));
    std::memcpy(dstRight, right + readIndex, first * sizeof(float));
    if (n > first) {
        std::memcpy(dstLeft + first, left, (n - first) * sizeof(float));
        std::memcpy(dstRight + first, right, (n - first) * sizeof(float));
    }
    readIndex = (readIndex + n) % capacity;
    count -= n;
    return n;
}

std::size_t StereoRing::discard(std::size_t frames) {
    const std::size_t n = std::min(frames, count);
    if (capacity > 0) readIndex = (readIndex + n) % capacity;
    count -= n;
    return n;
}

}  // namespace norvo
