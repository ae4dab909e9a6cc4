#include "AudioEngine/OfflineAudioOutput.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "AudioEngine/AudioCore.hpp"
#include "Support/EndlessSource.hpp"

namespace norvo {
namespace {

// A constant value, for telling rendered buffers from untouched ones.
void constant(int64_t, int frames, float* left, float* right) {
    std::fill_n(left, frames, 0.5f);
    std::fill_n(right, frames, -0.5f);
}

TEST(OfflineAudioOutput, RendersTheCoreOnDemandOnlyWhileStarted) {
    AudioCore core;
    test::EndlessSource source(&constant);
    core.installSourceStream(&source, AudioCore::SourceState::playing);
    core.setSourceVolume(1.0f);
    OfflineAudioOutput output(core);
    AudioOutput& asOutput = output;
    EXPECT_FALSE(asOutput.isRunning());
    EXPECT_EQ(output.renderFrames(512), 0) << "a stopped output renders nothing";
    EXPECT_EQ(core.snapshot(AudioCore::Peaks::keep).renderedFrames, 0u);

    asOutput.start();
    EXPECT_TRUE(asOutput.isRunning());
    EXPECT_EQ(output.renderFrames(5000), 5000);
    ASSERT_EQ(output.left().size(), 5000u);
    EXPECT_EQ(output.left()[4999], 0.5f);
    EXPECT_EQ(output.right()[0], -0.5f);
    EXPECT_EQ(core.snapshot(AudioCore::Peaks::keep).renderedFrames, 5000u);

    asOutput.stop();
    EXPECT_EQ(output.renderFrames(512), 0);
    EXPECT_EQ(core.snapshot(AudioCore::Peaks::keep).renderedFrames, 5000u);
    core.installSourceStream(nullptr, AudioCore::SourceState::stopped);
}

}  // namespace
}  // namespace norvo
