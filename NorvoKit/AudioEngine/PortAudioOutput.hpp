#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "AudioEngine/AudioOutput.hpp"

struct PaStreamCallbackTimeInfo;

namespace norvo {

class AudioCore;

// Plays the audio core through the system's default output device: 44100 Hz float
// stereo, the device's callback being AudioCore::render. A watchdog thread reopens the
// output on the (possibly new) default device when the stream dies or stalls, as when
// a device is unplugged or the sound server restarts. The callback thread asks for
// real-time priority once, and counts the device's underflow and overflow reports in
// the core's snapshot.
class PortAudioOutput final : public AudioOutput {
public:
    struct Options {
        std::chrono::milliseconds watchInterval{500};
        // A running stream whose callback has not run for this long counts as dead.
        std::chrono::milliseconds stallTimeout{3000};
        // With no device to be had, the next attempt waits this long.
        std::chrono::milliseconds retryInterval{3000};
    };

    explicit PortAudioOutput(AudioCore& core);
    PortAudioOutput(AudioCore& core, Options options);
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    // Starts the output; does nothing when it runs. Throws std::runtime_error whose
    // what() is a sentence when no output device can be opened.
    void start() override;
    void stop() override;
    bool isRunning() const override;

    // How often the watchdog has reopened the stream since start().
    uint64_t restartCount() const { return restarts_.load(std::memory_order_relaxed); }

private:
    static int callback(const void* input, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* timeInfo, unsigned long statusFlags, void* user);
    static void finished(void* user);

    // All of these run with control_ held.
    void bringUpPortAudio();
    void shutDownPortAudio();
    void openStream();
    void closeStream();
    void restart();
    void watch();

    AudioCore& core_;
    Options options_;

    mutable std::mutex control_;
    std::condition_variable wake_;
    bool running_ = false;
    bool portAudioUp_ = false;
    void* stream_ = nullptr;  // PaStream
    std::thread watchdog_;

    std::atomic<uint64_t> callbacks_{0};
    // The callback thread's own: whether it has asked for real-time priority yet.
    bool schedulingAsked_ = false;
    std::atomic<bool> streamEnded_{false};
    std::atomic<uint64_t> restarts_{0};
};

}  // namespace norvo
