#pragma once

namespace norvo {

// What an output's callback renders into its buffers: the audio core itself, or a gate
// in front of it that decides which of two outputs the core renders for.
class AudioRenderer {
public:
    // The glitches one callback of the device reported.
    struct OutputStatus {
        bool underflow = false;
        bool overflow = false;
    };

    // Renders `frames` frames into the two channel buffers, on the output's thread.
    virtual void render(int frames, float* left, float* right) = 0;
    // The output reports a glitch the device told it of.
    virtual void noteOutputStatus(OutputStatus status) = 0;
    // The output's stream ended on its own (its device or server went away). Called off
    // the render path, on whatever thread learnt of it.
    virtual void noteOutputEnded() {}

protected:
    ~AudioRenderer() = default;
};

}  // namespace norvo
