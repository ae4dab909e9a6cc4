#pragma once
#include <stdexcept>
#include <string>

#include "AudioEngine/AudioOutput.hpp"

namespace norvo::test {

// An output whose start fails as a machine without a sound device does.
class FailingAudioOutput final : public AudioOutput {
public:
    explicit FailingAudioOutput(std::string sentence = "No audio output device was found.")
        : sentence_(std::move(sentence)) {}

    void start() override {
        ++startAttempts;
        throw std::runtime_error(sentence_);
    }
    void stop() override {}
    bool isRunning() const override { return false; }

    int startAttempts = 0;

private:
    std::string sentence_;
};

}  // namespace norvo::test
