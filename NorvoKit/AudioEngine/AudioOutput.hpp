#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace norvo {

// Where the audio core's output goes: a device, silence that keeps a device's time, or
// in tests something that fails or renders on demand. Started and stopped on the main
// thread.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Starts the output; does nothing when it runs. Throws std::runtime_error whose
    // what() is a sentence when no output can be had.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

    // An output that goes on without sound when it has no device counts each time that
    // began (at start, or when the device went away) and says why, in a sentence, for
    // the last time. One whose start() throws instead counts none.
    virtual uint64_t deviceLosses() const { return 0; }
    virtual std::string lastDeviceLoss() const { return {}; }
    // Whether a device plays the sound now: false while such an output goes on without.
    virtual bool playsOnDevice() const { return isRunning(); }

    // How an output that goes on without this device should take its pauses, where the
    // device knows better than the usual guess: one that is told when its server goes away
    // need not be given up for a long silence, and one whose stream resumes steadily at
    // once need not be waited for long. Nothing leaves it to the watcher.
    struct PauseHandling {
        // The device plays again once it has called back steadily for this long.
        std::chrono::milliseconds settleTime;
        // A device silent for this long is gone.
        std::chrono::milliseconds lossTimeout;
    };
    virtual std::optional<PauseHandling> pauseHandling() const { return std::nullopt; }
};

}  // namespace norvo
