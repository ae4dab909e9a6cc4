#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/SourceStream.hpp"

namespace norvo::test {

// What a test can still see of a fake stream after the player destroyed it. The flags
// are atomic because streams are opened and released on the player's worker threads.
struct FakeStreamRecord {
    std::filesystem::path file;
    int64_t startFrame = 0;
    std::optional<int64_t> measuredFrames;  // the length the player passed when opening
    std::atomic<int64_t> duration{0};
    std::atomic<int64_t> position{0};
    std::atomic<bool> drained{false};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> destroyed{false};
    // Cancelling or freeing a stream while the core's lock is held would stall the render.
    std::atomic<bool> touchedUnderCoreLock{false};
    // Set by the test: the sentence the stream reports, as a decoder failing mid-file does.
    std::atomic<bool> failsDecoding{false};
};

// A stream that delivers a constant signal and lets the test decide when it is drained.
class FakeSourceStream final : public SourceStream {
public:
    FakeSourceStream(std::shared_ptr<FakeStreamRecord> record, const AudioCore& core)
        : record_(std::move(record)), core_(core) {}
    ~FakeSourceStream() override {
        noteCoreLock();
        record_->destroyed = true;
    }

    int pull(int frames, float* left, float* right) override {
        const int64_t position = record_->position.load();
        const int delivered = static_cast<int>(std::clamp<int64_t>(record_->duration.load() - position, 0, frames));
        for (int i = 0; i < delivered; ++i) left[i] = right[i] = 0.25f;
        record_->position = position + delivered;
        return delivered;
    }
    int64_t availableFrames() const override {
        return std::max<int64_t>(0, record_->duration.load() - record_->position.load());
    }
    bool isDrained() const override { return record_->drained.load(); }
    int64_t position() const override { return record_->position.load(); }
    int64_t duration() const override { return record_->duration.load(); }
    void cancel() override {
        noteCoreLock();
        record_->cancelled = true;
    }
    std::optional<std::string> decodingError() const override {
        if (!record_->failsDecoding) return std::nullopt;
        return std::string("Audio conversion failed: Invalid data found when processing input");
    }

private:
    void noteCoreLock() {
        if (core_.isLockedByCurrentThread()) record_->touchedUnderCoreLock = true;
    }

    std::shared_ptr<FakeStreamRecord> record_;
    const AudioCore& core_;
};

}  // namespace norvo::test
