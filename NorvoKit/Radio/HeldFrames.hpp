#pragma once
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace norvo {

// A connection's frames while a join holds them, in blocks that never move: holding a long
// burst copies none of it as it grows, and the comparisons read the frames held so far,
// on a thread of their own, while more come.
class HeldFrames {
public:
    static constexpr std::size_t blockFrames = std::size_t(1) << 15;

    struct Block {
        std::array<float, blockFrames> left, right;
    };

    // The first frames, as they were when it was taken; it keeps their blocks.
    class View {
    public:
        std::size_t size() const { return size_; }
        float left(std::size_t i) const { return blocks_[i / blockFrames]->left[i % blockFrames]; }
        float right(std::size_t i) const { return blocks_[i / blockFrames]->right[i % blockFrames]; }

    private:
        friend class HeldFrames;
        std::vector<std::shared_ptr<const Block>> blocks_;
        std::size_t size_ = 0;
    };

    void append(const float* left, const float* right, std::size_t frames);
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    View view(std::size_t frames) const;
    // Calls `run(left, right, frames)` on each stretch of frames [from, to) that lies in one block.
    template <class Run>
    void forEachRun(std::size_t from, std::size_t to, Run run) const {
        while (from < to) {
            const Block& block = *blocks_[from / blockFrames];
            const std::size_t at = from % blockFrames, n = std::min(to - from, blockFrames - at);
            run(block.left.data() + at, block.right.data() + at, n);
            from += n;
        }
    }
    // Its blocks, handed over: the frames held are let go of wherever they go.
    std::vector<std::shared_ptr<Block>> release();

private:
    std::vector<std::shared_ptr<Block>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace norvo
