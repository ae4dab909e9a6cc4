#pragma once
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/SourceStreamFactory.hpp"
#include "Support/FakeSourceStream.hpp"

namespace norvo::test {

// Files the test declares, with their lengths; any other file cannot be opened.
// Probing a file in `gatedFiles` waits until the test opens the gate; while opens are
// held, every open waits until the test releases them. Safe to use from any thread.
class FakeSourceStreamFactory final : public SourceStreamFactory {
public:
    explicit FakeSourceStreamFactory(const AudioCore& core) : core_(core) {}

    void addFile(const std::filesystem::path& file, int64_t frames) {
        std::lock_guard lock(mutex_);
        files_[file] = frames;
    }
    void removeFile(const std::filesystem::path& file) {
        std::lock_guard lock(mutex_);
        files_.erase(file);
    }

    std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame,
                                       std::optional<int64_t> measuredFrames = std::nullopt) override {
        std::unique_lock lock(mutex_);
        ++opensStarted_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !opensHeld_; });
        auto found = files_.find(file);
        if (found == files_.end()) throw NorvoAudioError::unsupportedFormat(file.filename().string());
        auto record = std::make_shared<FakeStreamRecord>();
        record->file = file;
        record->startFrame = startFrame;
        record->measuredFrames = measuredFrames;
        record->duration = found->second;
        record->position = startFrame;
        opened_.push_back(record);
        changed_.notify_all();
        return std::make_unique<FakeSourceStream>(record, core_);
    }

    std::optional<int64_t> probeDuration(const std::filesystem::path& file,
                                         const std::atomic<bool>* = nullptr) override {
        std::unique_lock lock(mutex_);
        ++probesStarted_;
        changed_.notify_all();
        if (gatedFiles.count(file)) changed_.wait(lock, [this] { return gateOpen_; });
        auto found = files_.find(file);
        return found == files_.end() ? std::nullopt : std::optional<int64_t>(found->second);
    }

    void openGate() {
        std::lock_guard lock(mutex_);
        gateOpen_ = true;
        changed_.notify_all();
    }
    // Blocks until `count` probes have begun; false after 10 s.
    bool waitForProbes(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return probesStarted_ >= count; });
    }
    int probesStarted() {
        std::lock_guard lock(mutex_);
        return probesStarted_;
    }

    // Opens wait (as a slow disk would make them) until releaseOpens().
    void holdOpens() {
        std::lock_guard lock(mutex_);
        opensHeld_ = true;
    }
    void releaseOpens() {
        std::lock_guard lock(mutex_);
        opensHeld_ = false;
        changed_.notify_all();
    }
    // Blocks until `count` opens have begun; false after 10 s.
    bool waitForOpensStarted(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return opensStarted_ >= count; });
    }
    int opensStarted() {
        std::lock_guard lock(mutex_);
        return opensStarted_;
    }

    // Every stream opened so far, in order.
    std::vector<std::shared_ptr<FakeStreamRecord>> opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }
    std::shared_ptr<FakeStreamRecord> lastOpened() const {
        std::lock_guard lock(mutex_);
        return opened_.empty() ? nullptr : opened_.back();
    }

    // Set before the player starts measuring.
    std::set<std::filesystem::path> gatedFiles;

private:
    const AudioCore& core_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::filesystem::path, int64_t> files_;
    std::vector<std::shared_ptr<FakeStreamRecord>> opened_;
    int probesStarted_ = 0;
    int opensStarted_ = 0;
    bool gateOpen_ = false;
    bool opensHeld_ = false;
};

}  // namespace norvo::test
