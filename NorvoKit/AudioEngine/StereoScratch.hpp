#pragma once
#include <cstddef>
#include <vector>

namespace norvo {

// A fixed-capacity pair of float buffers, allocated once up front so the render
// thread can use them without allocating.
struct StereoScratch {
    explicit StereoScratch(std::size_t capacity = 4096) : left(capacity, 0.0f), right(capacity, 0.0f) {}

    std::size_t capacity() const { return left.size(); }
    void clear(std::size_t frames) {
        for (std::size_t i = 0; i < frames && i < left.size(); ++i) left[i] = right[i] = 0.0f;
    }

    std::vector<float> left;
    std::vector<float> right;
};

}  // namespace norvo
