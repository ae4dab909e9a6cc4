#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "AudioEngine/AudioOutput.hpp"
#include "AudioEngine/StereoScratch.hpp"
#include "Platform/OutputClock.hpp"

namespace norvo {

class AudioRenderer;

// An output without a device that keeps a device's time: a thread of its own renders
// chunks of `chunkFrames` at 44100 frames a second, paced by a monotonic clock, and the
// sound goes nowhere. The tape, a recording, the player and the tuner go on exactly as
// they do with a sound device. The thread asks for real-time priority like a device's
// callback thread, and renders into buffers allocated once.
class SilentAudioOutput final : public AudioOutput {
public:
    static constexpr int chunkFrames = 512;
    // A thread that fell further behind the clock than this (a stall of the machine, a
    // start long after `from`) renders this much at once and drops the rest of the lag,
    // as a device drops what it could not play.
    static constexpr std::chrono::milliseconds maximumCatchUp{1000};

    explicit SilentAudioOutput(AudioRenderer& renderer, OutputClock& clock = SteadyOutputClock::shared());
    ~SilentAudioOutput() override;
    SilentAudioOutput(const SilentAudioOutput&) = delete;
    SilentAudioOutput& operator=(const SilentAudioOutput&) = delete;

    // Renders from now on; does nothing when it runs.
    void start() override;
    // Renders as if it had run since `from`: the chunks due since then are rendered at
    // once (at most maximumCatchUp of them), so taking over from a device that stopped
    // keeps the time the device kept.
    void start(OutputClock::Time from);
    // Returns once the thread has ended: nothing renders after it.
    void stop() override;
    bool isRunning() const override { return running_.load(std::memory_order_acquire); }

    // The time of `frames` frames at 44100 frames a second.
    static OutputClock::Time duration(int64_t frames);
    // The whole frames in `span`, duration()'s inverse; none for a span before its start.
    static int64_t frames(OutputClock::Time span);

private:
    void run(OutputClock::Time origin);

    AudioRenderer& renderer_;
    OutputClock& clock_;
    // Rendered into and thrown away; allocated here so that the render never allocates.
    StereoScratch scratch_;

    std::mutex control_;
    std::condition_variable wake_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace norvo
