#pragma once
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Radio/TunerStreamFactory.hpp"

namespace norvo::test {

// A station stream whose status the test scripts and whose signal is a steady tone, so
// the deck can record the tuner without a network.
class ScriptedTunerStream final : public TunerStream, public RadioSignal {
public:
    explicit ScriptedTunerStream(std::string url) : url(std::move(url)) {}

    void start() override { ++starts; }
    void stop() override { stopped = true; }
    RadioStream::Status currentStatus() override {
        std::lock_guard lock(mutex_);
        return status_;
    }
    RadioSignal& signal() override { return *this; }
    // Render thread: a 440 Hz tone while the status says playing.
    int render(int frames, float* left, float* right) override {
        if (!playing.load()) return 0;
        for (int i = 0; i < frames; ++i) {
            const float v = 0.25f * static_cast<float>(std::sin(phase_));
            phase_ += 2 * 3.141592653589793 * 440.0 / 44100.0;
            left[i] = right[i] = v;
        }
        return frames;
    }

    // Plays (tuned) with this title; a title of nothing means not yet announced.
    void play(std::optional<std::string> title) {
        std::lock_guard lock(mutex_);
        status_.network = RadioStream::Status::Network::streaming();
        status_.playing = true;
        status_.bufferedSeconds = status_.prebufferSeconds = 2;
        if (title != status_.title) ++status_.titleSerial;
        status_.titleKnown = title.has_value();
        status_.title = std::move(title);
        playing = true;
    }
    void loseSignal(std::string message) {
        std::lock_guard lock(mutex_);
        status_.network = RadioStream::Status::Network::failed(std::move(message));
        status_.playing = false;
        playing = false;
    }

    std::string url;
    int starts = 0;
    bool stopped = false;
    std::atomic<bool> playing{false};

private:
    std::mutex mutex_;
    RadioStream::Status status_;
    double phase_ = 0;
};

class ScriptedTunerStreamFactory final : public TunerStreamFactory {
public:
    std::shared_ptr<TunerStream> make(const std::string& url, const std::string&, double) override {
        auto stream = std::make_shared<ScriptedTunerStream>(url);
        opened.push_back(stream);
        return stream;
    }
    std::shared_ptr<ScriptedTunerStream> last() const { return opened.empty() ? nullptr : opened.back(); }

    std::vector<std::shared_ptr<ScriptedTunerStream>> opened;
};

}  // namespace norvo::test
