#include "Radio/HeldFrames.hpp"

#include <algorithm>

namespace norvo {

void HeldFrames::append(const float* left, const float* right, std::size_t frames) {
    while (frames > 0) {
        // Only frames past those a view holds are written: a comparison reading them is undisturbed.
        if (size_ == blocks_.size() * blockFrames) blocks_.push_back(std::make_shared_for_overwrite<Block>());
        Block& block = *blocks_.back();
        const std::size_t at = size_ % blockFrames, n = std::min(frames, blockFrames - at);
        std::copy_n(left, n, block.left.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy_n(right, n, block.right.begin() + static_cast<std::ptrdiff_t>(at));
        size_ += n;
        left += n;
        right += n;
        frames -= n;
    }
}

HeldFrames::View HeldFrames::view(std::size_t frames) const {
    View view;
    view.size_ = std::min(frames, size_);
    view.blocks_.assign(blocks_.begin(),
                        blocks_.begin() + static_cast<std::ptrdiff_t>((view.size_ + blockFrames - 1) / blockFrames));
    return view;
}

std::vector<std::shared_ptr<HeldFrames::Block>> HeldFrames::release() {
    auto blocks = std::move(blocks_);
    blocks_.clear();
    size_ = 0;
    return blocks;
}

}  // namespace norvo
