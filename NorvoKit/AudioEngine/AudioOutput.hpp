#pragma once
#include <cstdint>

namespace norvo {

// Where the audio core's output goes: a device, or in tests something that fails or
// renders on demand. Started and stopped on the main thread.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Starts the output; does nothing when it runs. Throws std::runtime_error whose
    // what() is a sentence when no output can be had.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

}  // namespace norvo
