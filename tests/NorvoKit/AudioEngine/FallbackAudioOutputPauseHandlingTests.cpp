#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>

#include "AudioEngine/FallbackAudioOutput.hpp"
#include "Support/FakeOutputClock.hpp"

namespace norvo {
namespace {

using namespace std::chrono_literals;
using Renderer = FallbackAudioOutput::Renderer;

class NullRenderer final : public AudioRenderer {
public:
    void render(int frames, float* left, float* right) override {
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
    }
    void noteOutputStatus(OutputStatus) override {}
};

// A device played by hand that says how its pauses are best taken, or leaves it to the
// output.
class HandPlayedDevice final : public AudioOutput {
public:
    explicit HandPlayedDevice(std::optional<PauseHandling> handling) : handling_(handling) {}
    void start() override {}
    void stop() override {}
    bool isRunning() const override { return true; }
    std::optional<PauseHandling> pauseHandling() const override { return handling_; }

private:
    std::optional<PauseHandling> handling_;
};

class FallbackAudioOutputPauseHandlingTest
    : public ::testing::TestWithParam<std::optional<AudioOutput::PauseHandling>> {
protected:
    FallbackAudioOutputPauseHandlingTest()
        : output(
              core,
              [this](AudioRenderer& gate) {
                  gate_ = &gate;
                  return std::make_unique<HandPlayedDevice>(GetParam());
              },
              clock, options) {}
    // `span` in steps of 10 ms, the device asking for a buffer at the start of each step
    // while it plays; how long until it held the turn, if it did.
    std::optional<std::chrono::milliseconds> run(std::chrono::milliseconds span, bool playing) {
        std::optional<std::chrono::milliseconds> tookOver;
        for (std::chrono::milliseconds done{}; done < span; done += 10ms) {
            if (playing && gate_) gate_->render(441, left_.data(), right_.data());
            if (!tookOver && output.renderer() == Renderer::device) tookOver = done;
            clock.advance(10ms);
            EXPECT_TRUE(clock.settle([this] { return output.silentOutputRuns() ? 2 : 1; }));
        }
        return tookOver;
    }

    const FallbackAudioOutput::Options options{};
    test::FakeOutputClock clock;
    NullRenderer core;
    FallbackAudioOutput output;

private:
    AudioRenderer* gate_ = nullptr;
    std::array<float, 441> left_{};
    std::array<float, 441> right_{};
};

TEST_P(FallbackAudioOutputPauseHandlingTest, ADeviceThatSaysHowItPausesIsWaitedForAndGivenUpAsItSays) {
    const auto settleTime = GetParam() ? GetParam()->settleTime : options.settleTime;
    const auto lossTimeout = GetParam() ? GetParam()->lossTimeout : options.lossTimeout;
    output.start();
    ASSERT_TRUE(clock.settle([this] { return output.silentOutputRuns() ? 2 : 1; }));
    const auto tookOver = run(settleTime + 50ms, true);
    ASSERT_TRUE(tookOver);
    EXPECT_GE(*tookOver, settleTime);
    EXPECT_LE(*tookOver, settleTime + 10ms);

    run(lossTimeout - 100ms, false);
    EXPECT_EQ(output.deviceLosses(), 0u) << "a pause was taken for a loss";
    run(200ms, false);
    EXPECT_EQ(output.deviceLosses(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Handlings, FallbackAudioOutputPauseHandlingTest,
                         ::testing::Values(std::nullopt,
                                           AudioOutput::PauseHandling{.settleTime = 20ms, .lossTimeout = 15s}),
                         [](const auto& info) { return info.param ? "TheDevices" : "TheOutputs"; });

}  // namespace
}  // namespace norvo
