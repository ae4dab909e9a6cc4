#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/FallbackAudioOutput.hpp"

namespace norvo::test {

// Sound devices for FallbackAudioOutput that fail or hang on demand and are played by hand:
// the test renders each buffer of the running device as its callback thread would.
// Outlives the output that makes the devices; on its way out it lets a held call go and
// waits for the devices an output left behind to be closed.
class FakeAudioDevices {
public:
    ~FakeAudioDevices() {
        release();
        if (!waitUntilGone()) std::abort();  // a device that outlives this would touch it
    }

    FallbackAudioOutput::DeviceFactory factory() {
        return [this](AudioRenderer& renderer) -> std::unique_ptr<AudioOutput> {
            std::unique_lock lock(mutex_);
            ++made_;
            blockIfHeld(lock, Call::open);
            ++alive_;
            return std::make_unique<Device>(*this, renderer);
        };
    }

    // While set, starting a device throws this sentence, as without a sound server.
    void failWith(std::optional<std::string> sentence) {
        std::lock_guard guard(mutex_);
        failure_ = std::move(sentence);
    }

    // Calls of this kind into a device do not return until release(), as on a sound server
    // that hangs. A device held in start() or stop() plays meanwhile.
    enum class Call { open, start, stop };
    void hold(Call call) {
        std::lock_guard guard(mutex_);
        held_ = call;
    }
    void release() {
        std::lock_guard guard(mutex_);
        held_.reset();
        changed_.notify_all();
    }
    // Until a call is held; then until no call is and every device made is destroyed.
    // False after 10 s.
    bool waitUntilHeld() {
        return waitFor([this] { return blocked_ > 0; });
    }
    bool waitUntilGone() {
        return waitFor([this] { return blocked_ == 0 && alive_ == 0; });
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

    // One callback as play(), into the caller's buffers and without the fake's lock, so that
    // a callback held up in the core does not keep the next one from coming.
    bool playInto(int frames, float* left, float* right) {
        AudioRenderer* renderer = nullptr;
        {
            std::lock_guard guard(mutex_);
            if (!current_ || current_->ended) return false;
            renderer = &current_->renderer;
        }
        renderer->render(frames, left, right);
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
    int started() const {
        std::lock_guard guard(mutex_);
        return starts_;
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
        ~Device() override {
            stop();
            std::lock_guard guard(owner_.mutex_);
            --owner_.alive_;
            owner_.changed_.notify_all();
        }

        void start() override {
            std::unique_lock lock(owner_.mutex_);
            if (owner_.failure_) throw std::runtime_error(*owner_.failure_);
            started_ = true;
            ++owner_.starts_;
            owner_.current_ = this;
            owner_.blockIfHeld(lock, Call::start);
        }
        void stop() override {
            std::unique_lock lock(owner_.mutex_);
            if (!started_) return;
            owner_.blockIfHeld(lock, Call::stop);
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

    // With mutex_ held, which it lets go while the call is held.
    void blockIfHeld(std::unique_lock<std::mutex>& lock, Call call) {
        if (held_ != call) return;
        ++blocked_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return held_ != call; });
        --blocked_;
        changed_.notify_all();
    }
    template <typename Predicate>
    bool waitFor(Predicate done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), done);
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::string> failure_;
    std::optional<Call> held_;
    int blocked_ = 0;
    Device* current_ = nullptr;
    int made_ = 0;
    int starts_ = 0;
    int stopped_ = 0;
    int alive_ = 0;
    std::vector<float> left_, right_;
};

}  // namespace norvo::test
