#include "AudioEngine/OfflineAudioOutput.hpp"

#include <gtest/gtest.h>

#include <mutex>

#include "AudioEngine/AudioCore.hpp"

namespace norvo {
namespace {

// A source of a constant value, for telling rendered buffers from untouched ones.
class ConstantSource final : public SourceStream {
public:
    int pull(int frames, float* left, float* right) override {
        std::fill_n(left, frames, 0.5f);
        std::fill_n(right, frames, -0.5f);
        position_ += frames;
        return frames;
    }
    int64_t availableFrames() const override { return 1 << 30; }
    bool isDrained() const override { return false; }
    int64_t position() const override { return position_; }
    int64_t duration() const override { return 1 << 30; }
    void cancel() override {}

private:
    int64_t position_ = 0;
};

TEST(OfflineAudioOutput, RendersTheCoreOnDemandOnlyWhileStarted) {
    AudioCore core;
    ConstantSource source;
    {
        std::lock_guard guard(core.lock);
        core.source.stream = &source;
        core.source.playing = true;
        core.source.volume = 1.0f;
    }
    OfflineAudioOutput output(core);
    AudioOutput& asOutput = output;
    EXPECT_FALSE(asOutput.isRunning());
    EXPECT_EQ(output.renderFrames(512), 0) << "a stopped output renders nothing";
    EXPECT_EQ(core.snapshot(false).renderedFrames, 0u);

    asOutput.start();
    EXPECT_TRUE(asOutput.isRunning());
    EXPECT_EQ(output.renderFrames(5000), 5000);
    ASSERT_EQ(output.left().size(), 5000u);
    EXPECT_EQ(output.left()[4999], 0.5f);
    EXPECT_EQ(output.right()[0], -0.5f);
    EXPECT_EQ(core.snapshot(false).renderedFrames, 5000u);

    asOutput.stop();
    EXPECT_EQ(output.renderFrames(512), 0);
    EXPECT_EQ(core.snapshot(false).renderedFrames, 5000u);
    std::lock_guard guard(core.lock);
    core.source.stream = nullptr;
}

}  // namespace
}  // namespace norvo
