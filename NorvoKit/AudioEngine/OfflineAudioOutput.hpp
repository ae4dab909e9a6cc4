#pragma once
#include <atomic>
#include <vector>

#include "AudioEngine/AudioOutput.hpp"

namespace norvo {

class AudioCore;

// An output without a device: the core renders only when renderFrames() is called, on
// the caller's thread, exactly as a device callback would. For tests and measurements
// that must run faster or slower than real time.
class OfflineAudioOutput final : public AudioOutput {
public:
    explicit OfflineAudioOutput(AudioCore& core) : core_(core) {}

    void start() override { running_.store(true); }
    void stop() override { running_.store(false); }
    bool isRunning() const override { return running_.load(); }

    // Renders `frames` frames into left() and right() while the output runs; returns the
    // frames rendered, 0 when it is stopped (the buffers are then left as they were).
    int renderFrames(int frames);

    const std::vector<float>& left() const { return left_; }
    const std::vector<float>& right() const { return right_; }

private:
    AudioCore& core_;
    std::atomic<bool> running_{false};
    std::vector<float> left_, right_;
};

}  // namespace norvo
