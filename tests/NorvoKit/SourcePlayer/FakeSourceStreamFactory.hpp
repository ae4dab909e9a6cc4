#pragma once
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/SourceStreamFactory.hpp"
#include "AudioEngine/UnfairLock.hpp"
#include "FakeSourceStream.hpp"

namespace norvo::test {

// Files the test declares, with their lengths; any other file cannot be opened.
// Probing a file in `gatedFiles` waits until the test opens the gate.
class FakeSourceStreamFactory final : public SourceStreamFactory {
public:
    explicit FakeSourceStreamFactory(UnfairLock& coreLock) : coreLock_(coreLock) {}

    void addFile(const std::filesystem::path& file, int64_t frames) {
        std::lock_guard lock(mutex_);
        files_[file] = frames;
    }
    void removeFile(const std::filesystem::path& file) {
        std::lock_guard lock(mutex_);
        files_.erase(file);
    }

    std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame) override {
        std::optional<int64_t> frames = length(file);
        if (!frames) throw NorvoAudioError::unsupportedFormat(file.filename().string());
        auto record = std::make_shared<FakeStreamRecord>();
        record->file = file;
        record->startFrame = startFrame;
        record->duration = *frames;
        record->position = startFrame;
        opened.push_back(record);
        return std::make_unique<FakeSourceStream>(record, coreLock_);
    }

    std::optional<int64_t> probeDuration(const std::filesystem::path& file) override {
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

    // Set before the player starts measuring.
    std::set<std::filesystem::path> gatedFiles;
    // Every stream opened, in order; main thread only.
    std::vector<std::shared_ptr<FakeStreamRecord>> opened;

private:
    std::optional<int64_t> length(const std::filesystem::path& file) {
        std::lock_guard lock(mutex_);
        auto found = files_.find(file);
        return found == files_.end() ? std::nullopt : std::optional<int64_t>(found->second);
    }

    UnfairLock& coreLock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::filesystem::path, int64_t> files_;
    int probesStarted_ = 0;
    bool gateOpen_ = false;
};

}  // namespace norvo::test
