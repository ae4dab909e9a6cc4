#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "AudioEngine/SourceStream.hpp"
#include "AudioEngine/UnfairLock.hpp"

namespace norvo::test {

// What a test can still see of a fake stream after the player destroyed it.
struct FakeStreamRecord {
    std::filesystem::path file;
    int64_t startFrame = 0;
    int64_t duration = 0;
    std::atomic<int64_t> position{0};
    std::atomic<bool> drained{false};
    bool cancelled = false;
    bool destroyed = false;
    // Cancelling or freeing a stream while the core's lock is held would stall the render.
    bool touchedUnderCoreLock = false;
};

// A stream that delivers a constant signal and lets the test decide when it is drained.
class FakeSourceStream final : public SourceStream {
public:
    FakeSourceStream(std::shared_ptr<FakeStreamRecord> record, UnfairLock& coreLock)
        : record_(std::move(record)), coreLock_(coreLock) {}
    ~FakeSourceStream() override {
        noteCoreLock();
        record_->destroyed = true;
    }

    int pull(int frames, float* left, float* right) override {
        int64_t position = record_->position.load();
        const int delivered = static_cast<int>(std::min<int64_t>(frames, record_->duration - position));
        for (int i = 0; i < delivered; ++i) left[i] = right[i] = 0.25f;
        record_->position = position + delivered;
        return delivered;
    }
    int64_t availableFrames() const override { return record_->duration - record_->position.load(); }
    bool isDrained() const override { return record_->drained.load(); }
    int64_t position() const override { return record_->position.load(); }
    int64_t duration() const override { return record_->duration; }
    void cancel() override {
        noteCoreLock();
        record_->cancelled = true;
    }

private:
    void noteCoreLock() {
        if (coreLock_.try_lock())
            coreLock_.unlock();
        else
            record_->touchedUnderCoreLock = true;
    }

    std::shared_ptr<FakeStreamRecord> record_;
    UnfairLock& coreLock_;
};

}  // namespace norvo::test
