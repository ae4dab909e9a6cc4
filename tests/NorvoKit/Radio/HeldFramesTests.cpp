#include <gtest/gtest.h>

#include <vector>

#include "Radio/HeldFrames.hpp"

namespace norvo {
namespace {

// A comparison reads the frames held when it began while more come and after they are let go.
TEST(HeldFramesTest, AViewKeepsItsFramesAcrossBlocksWhileMoreComeAndAfterRelease) {
    constexpr std::size_t block = HeldFrames::blockFrames;
    HeldFrames held;
    std::vector<float> left, right;
    std::size_t made = 0;
    const auto append = [&](std::size_t frames) {
        left.resize(frames);
        right.resize(frames);
        for (std::size_t i = 0; i < frames; ++i, ++made) left[i] = float(made), right[i] = -float(made);
        held.append(left.data(), right.data(), frames);
    };
    append(block - 3);
    append(7);  // across the first block's end
    const HeldFrames::View view = held.view(block + 2);
    append(2 * block);
    ASSERT_EQ(held.size(), 3 * block + 4);

    std::size_t next = 5;
    held.forEachRun(5, 2 * block + 9, [&](const float* l, const float* r, std::size_t frames) {
        for (std::size_t i = 0; i < frames; ++i, ++next) {
            ASSERT_EQ(l[i], float(next));
            ASSERT_EQ(r[i], -float(next));
        }
    });
    EXPECT_EQ(next, 2 * block + 9);

    held.release();
    EXPECT_TRUE(held.empty());
    ASSERT_EQ(view.size(), block + 2);
    for (const std::size_t i : {std::size_t(0), block - 1, block, block + 1}) {
        EXPECT_EQ(view.left(i), float(i));
        EXPECT_EQ(view.right(i), -float(i));
    }
}

}  // namespace
}  // namespace norvo
