#include "AudioEngine/StereoRing.hpp"

#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace norvo {
namespace {

// A ring over buffers this fixture owns, as the real owners do.
class StereoRingTest : public ::testing::Test {
protected:
    static constexpr std::size_t capacity = 8;
    std::vector<float> leftStore = std::vector<float>(capacity, -1.0f);
    std::vector<float> rightStore = std::vector<float>(capacity, -1.0f);
    StereoRing ring{capacity, leftStore.data(), rightStore.data(), 0, 0};

    // Frames numbered from `first`; right is the negative of left so channels cannot be swapped.
    void write(float first, std::size_t frames) {
        std::vector<float> left(frames), right(frames);
        std::iota(left.begin(), left.end(), first);
        for (std::size_t i = 0; i < frames; ++i) right[i] = -left[i];
        ring.write(left.data(), right.data(), frames);
    }

    std::vector<float> read(std::size_t frames) {
        std::vector<float> left(frames, 0.0f), right(frames, 0.0f);
        const std::size_t n = ring.read(left.data(), right.data(), frames);
        left.resize(n);
        right.resize(n);
        for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(right[i], -left[i]);
        return left;
    }
};

TEST_F(StereoRingTest, WritesAndReadsAcrossTheWrap) {
    write(1, 6);
    EXPECT_EQ(read(4), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(ring.readIndex, 4u);
    EXPECT_EQ(ring.count, 2u);

    write(7, 5);  // starts at index 6 and wraps to 0..2
    EXPECT_EQ(ring.count, 7u);
    EXPECT_EQ(ring.space(), 1u);
    EXPECT_EQ(leftStore[0], 9.0f);
    EXPECT_EQ(leftStore[7], 8.0f);

    EXPECT_EQ(read(10), (std::vector<float>{5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(ring.readIndex, 3u);
    EXPECT_EQ(ring.count, 0u);
    EXPECT_TRUE(read(3).empty());
}

TEST_F(StereoRingTest, FillsToCapacityAndDiscardsTheOldest) {
    write(1, 5);
    read(5);
    write(10, 8);
    EXPECT_EQ(ring.space(), 0u);
    EXPECT_EQ(ring.discard(3), 3u);
    EXPECT_EQ(read(2), (std::vector<float>{13, 14}));
    EXPECT_EQ(ring.discard(100), 3u);
    EXPECT_EQ(ring.count, 0u);
    write(30, 2);
    EXPECT_EQ(read(8), (std::vector<float>{30, 31}));
}

TEST_F(StereoRingTest, SilenceGoesBetweenFramesAcrossTheWrap) {
    write(1, 5);
    read(5);
    write(1, 2);           // indexes 5 and 6
    ring.writeSilence(3);  // 7, then wraps to 0 and 1
    write(3, 1);
    EXPECT_EQ(ring.count, 6u);
    EXPECT_EQ(read(8), (std::vector<float>{1, 2, 0, 0, 0, 3}));
}

}  // namespace
}  // namespace norvo
