#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/FallbackAudioOutput.hpp"

namespace norvo::test {

// Sound devices for FallbackAudioOutput that fail on demand and are played by hand: the
// test renders each buffer of the running device as its callback thread would. Outlives
// the output that makes the devices.
class FakeAudioDevices {
public:
    FallbackAudioOutput::DeviceFactory factory() {
        return [this](AudioRenderer& renderer) -> std::unique_ptr<AudioOutput> {
            std::lock_guard guard(mutex_);
            ++made_;
            return std::make_unique<Device>(*this, renderer);
        };
    }

    // While set, starting a device throws this sentence, as without a sound server.
    void failWith(std::optional<std::string> sentence) {
        std::lock_guard guard(mutex_);
        failure_ = std::move(sentence);
    }

    // One callback of the running device; false when none runs. The buffer is kept.
    bool play(int frames) {
        std::lock_guard guard(mutex_);
        if (!current_ || current_->ended) return false;
        left_.assign(std::size_t(frames), 1.0f);
        right_.assign(std::size_t(frames), 1.0f);
        current_->renderer.render(frames, left_.data(), right_.data());
        return true;
    }

    // The running device's stream ends on its own, as when its server goes away.
    void end() {
        AudioRenderer* renderer = nullptr;
        {
            std::lock_guard guard(mutex_);
            if (!current_) return;
            current_->ended = true;
            renderer = &current_->renderer;
        }
        // As a device's own thread tells it: without this mutex, which the output may
        // be waiting for while it asks whether the device runs.
        renderer->noteOutputEnded();
    }

    int made() const {
        std::lock_guard guard(mutex_);
        return made_;
    }
    int stopped() const {
        std::lock_guard guard(mutex_);
        return stopped_;
    }
    bool running() const {
        std::lock_guard guard(mutex_);
        return current_ != nullptr;
    }
    std::vector<float> left() const {
        std::lock_guard guard(mutex_);
        return left_;
    }

private:
    class Device final : public AudioOutput {
    public:
        Device(FakeAudioDevices& owner, AudioRenderer& renderer) : renderer(renderer), owner_(owner) {}
        ~Device() override { stop(); }

        void start() override {
            std::lock_guard guard(owner_.mutex_);
            if (owner_.failure_) throw std::runtime_error(*owner_.failure_);
            started_ = true;
            owner_.current_ = this;
        }
        void stop() override {
            std::lock_guard guard(owner_.mutex_);
            if (!started_) return;
            started_ = false;
            ++owner_.stopped_;
            if (owner_.current_ == this) owner_.current_ = nullptr;
        }
        bool isRunning() const override {
            std::lock_guard guard(owner_.mutex_);
            return started_ && !ended;
        }

        AudioRenderer& renderer;
        bool ended = false;  // guarded by the owner's mutex

    private:
        FakeAudioDevices& owner_;
        bool started_ = false;
    };

    mutable std::mutex mutex_;
    std::optional<std::string> failure_;
    Device* current_ = nullptr;
    int made_ = 0;
    int stopped_ = 0;
    std::vector<float> left_, right_;
};

}  // namespace norvo::test
