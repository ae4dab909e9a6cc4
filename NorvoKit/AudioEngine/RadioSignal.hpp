#pragma once

namespace norvo {

// What the core's tuner path pulls on the render thread, under the core's lock.
// Writes up to `frames` frames and returns how many were delivered; the rest is
// silence of the signal. Implementations take only their own lock and never allocate.
class RadioSignal {
public:
    virtual ~RadioSignal() = default;
    virtual int render(int frames, float* left, float* right) = 0;
};

}  // namespace norvo
