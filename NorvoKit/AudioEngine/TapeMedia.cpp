#include "AudioEngine/TapeMedia.hpp"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "AudioEngine/NorvoAudioError.hpp"
#include "Platform/ShownName.hpp"
#include "Platform/Uuid.hpp"
#include "Platform/XdgPaths.hpp"

namespace norvo {

namespace {

constexpr const char* lockFileName = ".lock";

// Opens (creating if need be) a workspace's lock file and takes its lock without
// waiting; -1 when the lock is held elsewhere or the file cannot be opened.
int takeLock(const std::filesystem::path& directory, int& error) {
    const int fd = ::open((directory / lockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// The lock of a workspace this media is to own, or the sentence why it cannot be had.
int lockOwnWorkspace(const std::filesystem::path& directory) {
    int error = 0;
    const int fd = takeLock(directory, error);
    if (fd < 0)
        throw NorvoAudioError::storage("Cannot lock the workspace " + ShownName::inSentence(directory.string()) + ": " +
                                       std::generic_category().message(error));
    return fd;
}

// Holding the workspace's lock (so that no other run takes it meanwhile), removes it
// unless `keep` wants it kept. False when the lock cannot be had: a live owner holds it,
// or it is not ours to judge.
template <typename Keep>
bool removeUnlessHeld(const std::filesystem::path& directory, const Keep& keep, std::error_code& ec) {
    int error = 0;
    const int fd = takeLock(directory, error);
    if (fd < 0) return false;
    if (!keep(directory)) std::filesystem::remove_all(directory, ec);
    ::close(fd);
    return true;
}

}  // namespace

TapeMedia::TapeMedia(const CassetteType& type) : TapeMedia(type, workspacesRoot()) {}

void TapeMedia::setUp(const std::function<void()>& prepare) {
    try {
        prepare();
        follower_ = std::thread([this] { followHeadLoop(); });
    } catch (const NorvoAudioError&) {
        release();
        throw;
    } catch (const std::exception& e) {
        release();
        throw NorvoAudioError::storage(e.what());
    }
}

TapeMedia::TapeMedia(const CassetteType& type, const std::filesystem::path& root) : type_(type) {
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec)
        throw NorvoAudioError::storage("Cannot create the workspaces folder " + ShownName::inSentence(root.string()) +
                                       ": " + ec.message());

    const std::filesystem::path directory = root / Uuid::random().text();
    if (::mkdir(directory.c_str(), 0700) != 0)
        throw NorvoAudioError::storage("Cannot create a workspace in " + ShownName::inSentence(root.string()) + ": " +
                                       std::generic_category().message(errno));
    directory_ = directory;
    setUp([this] {
        lockFD_ = lockOwnWorkspace(directory_);
        for (TapeSide side : allTapeSides)
            sides_[rawValue(side)] =
                std::make_unique<TapeSideStorage>(directory_ / sideFileName(side), type_.sideFrames());
        lengths_ = std::make_unique<RecordedLengths>(directory_);
    });
}

TapeMedia::TapeMedia(const CassetteType& type, const Existing& workspace) : type_(type) {
    // Whatever fails below leaves the workspace as it was found.
    keepWorkspace_.store(true, std::memory_order_relaxed);
    directory_ = workspace.directory;
    setUp([this] {
        std::error_code ec;
        if (!std::filesystem::is_directory(std::filesystem::symlink_status(directory_, ec)))
            throw NorvoAudioError::storage("The workspace " + ShownName::inSentence(directory_.string()) + " is gone.");
        lockFD_ = lockOwnWorkspace(directory_);
        const auto expectedBytes = static_cast<std::uintmax_t>(type_.sideFrames() * TapeSideStorage::bytesPerFrame);
        for (TapeSide side : allTapeSides) {
            const std::filesystem::path file = directory_ / sideFileName(side);
            std::error_code sizeError;
            const bool regular = std::filesystem::is_regular_file(std::filesystem::symlink_status(file, ec));
            if (!regular || std::filesystem::file_size(file, sizeError) != expectedBytes || sizeError)
                throw NorvoAudioError::storage("The side file " + ShownName::inSentence(file.string()) +
                                               " is missing or not one of a " + type_.description() + " cassette.");
            sides_[rawValue(side)] = std::make_unique<TapeSideStorage>(file, type_.sideFrames());
        }
        lengths_ = std::make_unique<RecordedLengths>(directory_);
        // The workspace may hold what was derived from its sides in the earlier run, keyed
        // by that run's write generations; starting elsewhere keeps them from matching.
        std::random_device random;
        for (SideState& state : state_) state.generation = (uint64_t{random()} << 32) | random();
    });
    keepWorkspace_.store(false, std::memory_order_relaxed);
}

TapeMedia::~TapeMedia() { release(); }

void TapeMedia::stopFollower() {
    if (!follower_.joinable()) return;
    {
        std::lock_guard lock(followerMutex_);
        followerStopping_ = true;
    }
    followerWake_.notify_all();
    follower_.join();
}

void TapeMedia::release() {
    stopFollower();
    for (auto& side : sides_) side.reset();
    lengths_.reset();
    if (directory_.empty()) return;
    // Removed while the lock is still held, so no sweeper sees a half-removed
    // workspace as someone else's.
    std::error_code ec;
    if (!keepWorkspace_.load(std::memory_order_relaxed)) std::filesystem::remove_all(directory_, ec);
    if (lockFD_ >= 0) ::close(lockFD_);
    lockFD_ = -1;
    directory_.clear();
}

std::filesystem::path TapeMedia::workspacesRoot() { return XdgPaths::cacheHome() / "Norvo Studio" / "Workspaces"; }

void TapeMedia::sweepStaleWorkspaces() { sweepStaleWorkspaces(workspacesRoot()); }

void TapeMedia::sweepStaleWorkspaces(const std::filesystem::path& root) {
    sweepStaleWorkspaces(root, [](const std::filesystem::path&) { return false; });
}

void TapeMedia::sweepStaleWorkspaces(const std::filesystem::path& root,
                                     const std::function<bool(const std::filesystem::path&)>& keep) {
    std::error_code ec;
    std::filesystem::directory_iterator it(root, ec);
    if (ec) return;
    std::vector<std::filesystem::path> candidates;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        // Only real directories named by a UUID are workspaces; a symbolic link is never followed.
        std::error_code statusError;
        if (!it->is_directory(statusError) || it->is_symlink(statusError)) continue;
        if (!Uuid::isUuidText(it->path().filename().string())) continue;
        candidates.push_back(it->path());
    }
    for (const auto& directory : candidates) removeUnlessHeld(directory, keep, ec);
}

bool TapeMedia::removeStaleWorkspace(const std::filesystem::path& directory) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(directory, ec);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    if (!std::filesystem::is_directory(status)) return false;
    const auto keepNone = [](const std::filesystem::path&) { return false; };
    return removeUnlessHeld(directory, keepNone, ec) && !ec;
}

void TapeMedia::followHead(TapeSide side, int64_t head, TransportMode mode) noexcept {
    followedSide_.store(int(rawValue(side)), std::memory_order_relaxed);
    followedMode_.store(int(mode), std::memory_order_relaxed);
    followedHead_.store(head, std::memory_order_release);
}

void TapeMedia::followHeadLoop() {
    pthread_setname_np(pthread_self(), "norvo-tape-ahead");
    // Often while the head moves; less often while nothing changes (standing still, the
    // stretch ahead and the flip's are already prepared).
    constexpr auto movingInterval = std::chrono::milliseconds(10);
    constexpr auto idleInterval = std::chrono::milliseconds(25);
    // Prepared again when the head moved this far, the side or the kind of access
    // changed, or a second passed (the system may have evicted pages meanwhile).
    constexpr int64_t moveThreshold = 22050;  // half a second
    constexpr auto refreshInterval = std::chrono::seconds(1);
    constexpr int64_t rewindMargin = 2 * 44100;

    int64_t lastHead = -1;
    int lastSide = -1;
    bool lastWritable = false;
    int64_t seenHead = -1;
    int seenMode = -1;
    auto lastTime = std::chrono::steady_clock::now();
    std::unique_lock lock(followerMutex_);
    while (!followerStopping_) {
        const int64_t head = followedHead_.load(std::memory_order_acquire);
        const int seen = followedMode_.load(std::memory_order_relaxed);
        const bool moving = head != seenHead || seen != seenMode;
        seenHead = head;
        seenMode = seen;
        if (head >= 0) {
            const int side = followedSide_.load(std::memory_order_relaxed);
            const auto mode = TransportMode(followedMode_.load(std::memory_order_relaxed));
            // Writable wherever a recording may begin: recording, armed, or standing still.
            const bool writable = isRecordingOrArmed(mode) || mode == TransportMode::stopped;
            const auto now = std::chrono::steady_clock::now();
            if (side != lastSide || writable != lastWritable || std::abs(head - lastHead) >= moveThreshold ||
                now - lastTime >= refreshInterval) {
                lock.unlock();
                const TapeSide current = side == 0 ? TapeSide::a : TapeSide::b;
                const int64_t behind = mode == TransportMode::rewinding ? rewindMargin : 0;
                using Access = TapeSideStorage::Access;
                storage(current).prepare(head - behind, behind + readyAheadFrames,
                                         writable ? Access::write : Access::read);
                const TapeSideStorage& mirrored = storage(other(current));
                mirrored.prepare(mirrored.capacity() - head, readyAheadFrames, Access::read);
                lengths_->prepare();
                lock.lock();
                lastHead = head;
                lastSide = side;
                lastWritable = writable;
                lastTime = now;
            }
        }
        followerPasses_.fetch_add(1, std::memory_order_release);
        followerWake_.wait_for(lock, moving ? movingInterval : idleInterval, [this] { return followerStopping_; });
    }
}

namespace {

// One worker that drops media references handed to it; lives until the process ends.
class BackgroundReleaser {
public:
    static BackgroundReleaser& shared() {
        static BackgroundReleaser releaser;
        return releaser;
    }
    ~BackgroundReleaser() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
    }
    void release(std::shared_ptr<TapeMedia> media) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(media));
            ++handed_;
            if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
        }
        wake_.notify_all();
    }
    void finish() {
        std::unique_lock lock(mutex_);
        const uint64_t target = handed_;
        done_.wait(lock, [&] { return released_ >= target; });
    }

private:
    void run() {
        pthread_setname_np(pthread_self(), "norvo-release");
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, with nothing left
            std::shared_ptr<TapeMedia> media = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            media.reset();
            lock.lock();
            ++released_;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<std::shared_ptr<TapeMedia>> queue_;
    uint64_t handed_ = 0, released_ = 0;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace

void TapeMedia::releaseInBackground(std::shared_ptr<TapeMedia> media) {
    if (media) BackgroundReleaser::shared().release(std::move(media));
}

void TapeMedia::finishBackgroundReleases() { BackgroundReleaser::shared().finish(); }

int64_t TapeMedia::used(TapeSide side) const {
    std::lock_guard lock(mutex_);
    return state_[rawValue(side)].used;
}

bool TapeMedia::isDirty(TapeSide side) const {
    std::lock_guard lock(mutex_);
    return state_[rawValue(side)].dirty;
}

bool TapeMedia::isDirty() const {
    std::lock_guard lock(mutex_);
    return state_[0].dirty || state_[1].dirty;
}

uint64_t TapeMedia::writeGeneration(TapeSide side) const {
    std::lock_guard lock(mutex_);
    return state_[rawValue(side)].generation;
}

void TapeMedia::noteWritten(TapeSide side, int64_t endFrame) {
    const int64_t capacity = type_.sideFrames();
    std::lock_guard lock(mutex_);
    SideState& state = state_[rawValue(side)];
    state.used = std::max(state.used, std::clamp<int64_t>(endFrame, 0, capacity));
    state.dirty = true;
    ++state.generation;
    // On the render thread: a store into the locked page, and the length outlives a kill.
    lengths_->store(side, state.used);
}

void TapeMedia::setUsedClean(TapeSide side, int64_t frames) {
    const int64_t capacity = type_.sideFrames();
    std::lock_guard lock(mutex_);
    SideState& state = state_[rawValue(side)];
    state.used = std::clamp<int64_t>(frames, 0, capacity);
    state.dirty = false;
    ++state.generation;
    lengths_->store(side, state.used);
}

bool TapeMedia::clearDirty(TapeSide side, uint64_t generation) {
    std::lock_guard lock(mutex_);
    SideState& state = state_[rawValue(side)];
    if (state.generation != generation) return false;
    state.dirty = false;
    return true;
}

}  // namespace norvo
