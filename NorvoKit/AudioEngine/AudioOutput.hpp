#pragma once
#include <cstdint>
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
};

}  // namespace norvo
