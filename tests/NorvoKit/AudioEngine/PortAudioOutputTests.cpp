#include "AudioEngine/PortAudioOutput.hpp"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "AudioEngine/AudioCore.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

// A source that reports, once, that the render thread pulled it.
class SignallingSource final : public SourceStream {
public:
    int pull(int frames, float* left, float* right) override {
        std::fill_n(left, frames, 0.0f);
        std::fill_n(right, frames, 0.0f);
        std::call_once(once_, [this] {
            renderPolicy = sched_getscheduler(0);
            pulled.set_value();
        });
        position_ += frames;
        return frames;
    }
    int64_t availableFrames() const override { return 1 << 20; }
    bool isDrained() const override { return false; }
    int64_t position() const override { return position_; }
    int64_t duration() const override { return 1 << 30; }
    void cancel() override {}

    std::promise<void> pulled;
    int renderPolicy = -1;  // the render thread's scheduling policy, when it first pulled

private:
    std::once_flag once_;
    int64_t position_ = 0;
};

// Points ALSA at a configuration of the test's own, so the test does not depend on
// the machine's sound hardware.
class PortAudioOutputTest : public ::testing::Test {
protected:
    void useAlsaConfiguration(const std::string& text) {
        const auto path = directory_ / "asound.conf";
        std::ofstream(path) << text;
        if (const char* previous = std::getenv("ALSA_CONFIG_PATH")) saved_ = previous;
        setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
    }
    void TearDown() override {
        if (saved_) setenv("ALSA_CONFIG_PATH", saved_->c_str(), 1);
        else unsetenv("ALSA_CONFIG_PATH");
    }

    test::TemporaryDirectory directory_;
    std::optional<std::string> saved_;
    AudioCore core_;
};

TEST_F(PortAudioOutputTest, StartingWithoutAnyDeviceThrowsASentence) {
    // The default device names a sound card this machine does not have.
    useAlsaConfiguration("pcm.!default { type hw card 31 }\n");
    PortAudioOutput output(core_);
    try {
        output.start();
        FAIL() << "started without a device";
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        EXPECT_TRUE(message.starts_with("No audio output device")) << message;
        EXPECT_TRUE(message.ends_with(".")) << message;
    }
    EXPECT_FALSE(output.isRunning());
    output.stop();
}

TEST_F(PortAudioOutputTest, TheDeviceCallbackRendersTheCore) {
    useAlsaConfiguration("pcm.!default { type null }\n");
    SignallingSource source;
    auto pulled = source.pulled.get_future();
    core_.installSourceStream(&source, AudioCore::SourceState::playing);
    PortAudioOutput output(core_);
    output.start();
    EXPECT_TRUE(output.isRunning());
    output.start();  // already running: nothing happens
    ASSERT_EQ(pulled.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    // A buffer that a busy machine's late callback does not run dry.
    EXPECT_GE(output.latency(), PortAudioOutput::minimumLatency * 0.9);
    output.stop();
    EXPECT_EQ(output.latency(), 0.0);
    EXPECT_FALSE(output.isRunning());

    // Real-time priority where the system grants it to this process.
    bool granted = false;
    std::thread([&] {
        sched_param parameters{};
        parameters.sched_priority = 1;
        granted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0;
    }).join();
    EXPECT_EQ(source.renderPolicy, granted ? SCHED_FIFO : SCHED_OTHER);

    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    EXPECT_GT(snapshot.renderedFrames, 0u);
    EXPECT_EQ(int64_t(snapshot.renderedFrames), snapshot.sourcePosition);
    core_.installSourceStream(nullptr, AudioCore::SourceState::stopped);
}

}  // namespace
}  // namespace norvo
