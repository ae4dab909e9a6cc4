#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/RecordedLengths.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "AudioEngine/TapeSideStorage.hpp"
#include "AudioEngine/TransportMode.hpp"
#include "AudioEngine/UnfairLock.hpp"

namespace norvo {

// The workspace of the loaded cassette: a directory named by a fresh UUID under
// workspacesRoot() holding ".lock" (flock'd for the media's life), "side-a.pcm",
// "side-b.pcm" and "recorded-lengths" (the sides' lengths, kept as they change). Held
// by shared_ptr; the last reference (never dropped on the audio thread) unmaps, closes
// and removes the directory; releaseInBackground() does that on a worker, since a full
// side takes a while to unmap and delete.
//
// A head follower thread of normal priority keeps the stretch the render is about to
// touch resident (and writable where it may record): the render reports the head after
// every buffer, and the follower, looking every few milliseconds, prepares at least
// readyAheadFrames (12 s) from the head on, and the same from the mirrored head of the
// other side that a flip would bring under it, plus a little behind the head while it
// rewinds. The render moves through at most one second of tape per second (winding
// touches no audio), so every page it reads or writes was faulted in seconds earlier;
// only memory pressure severe enough to evict pages touched moments ago could still
// make it fault.
class TapeMedia {
public:
    // Throws NorvoAudioError (storage) when the workspace cannot be created; what it
    // made is removed.
    explicit TapeMedia(const CassetteType& type);
    // The same, in a chosen root (tests).
    TapeMedia(const CassetteType& type, const std::filesystem::path& root);
    // A workspace an earlier run left behind, to be taken over as it is.
    struct Existing {
        std::filesystem::path directory;
    };
    // Takes over that workspace: its side files keep what was recorded on them; both
    // sides start empty and clean until the caller restores their lengths (those it
    // kept, RecordedLengths::read() gives). Throws NorvoAudioError (storage) when a live
    // owner holds it, or its side files are missing or made for another type; the
    // workspace is then left as it was.
    TapeMedia(const CassetteType& type, const Existing& workspace);
    ~TapeMedia();
    TapeMedia(const TapeMedia&) = delete;
    TapeMedia& operator=(const TapeMedia&) = delete;

    // $XDG_CACHE_HOME/Norvo Studio/Workspaces
    static std::filesystem::path workspacesRoot();
    // Removes workspace directories (UUID names only) whose lock no live owner holds.
    static void sweepStaleWorkspaces();
    static void sweepStaleWorkspaces(const std::filesystem::path& root);
    // The same, but leaves the workspaces `keep` wants kept; it is asked with the
    // workspace's lock held, so no other run takes the workspace meanwhile.
    static void sweepStaleWorkspaces(const std::filesystem::path& root,
                                     const std::function<bool(const std::filesystem::path&)>& keep);
    // Removes one workspace unless a live owner holds it; true when it is gone.
    static bool removeStaleWorkspace(const std::filesystem::path& directory);

    const CassetteType& type() const { return type_; }
    const std::filesystem::path& directory() const { return directory_; }
    TapeSideStorage& storage(TapeSide side) { return *sides_[rawValue(side)]; }
    const TapeSideStorage& storage(TapeSide side) const { return *sides_[rawValue(side)]; }

    // Under the media's lock.
    int64_t used(TapeSide side) const;
    bool isDirty(TapeSide side) const;
    bool isDirty() const;
    // Grows with every write to the side; lets a writer clear dirty only for sides
    // not written to since it read them.
    uint64_t writeGeneration(TapeSide side) const;

    // The recorder: frames up to `endFrame` now hold audio (used grows, dirty set).
    void noteWritten(TapeSide side, int64_t endFrame);
    // The container reader: the side holds `frames` frames, clean.
    void setUsedClean(TapeSide side, int64_t frames);
    // Clears dirty when no write happened since `generation` was read; true when cleared.
    bool clearDirty(TapeSide side, uint64_t generation);

    // The render, after each buffer: where the head is and how the tape moves. Lock-free.
    void followHead(TapeSide side, int64_t head, TransportMode mode) noexcept;
    static constexpr int64_t readyAheadFrames = 12 * 44100;
    // How many times the follower has looked at the head (for tests).
    uint64_t followerPasses() const { return followerPasses_.load(std::memory_order_acquire); }

    // Releasing the last reference leaves the workspace in place, unlocked, for a later
    // run to take over, instead of removing it.
    void keepWorkspace() { keepWorkspace_.store(true, std::memory_order_relaxed); }

    // Drops this reference on a worker, so that unmapping and deleting the workspace
    // (when it is the last one) stays off the calling thread.
    static void releaseInBackground(std::shared_ptr<TapeMedia> media);
    // Waits until every release handed over so far has finished (at quit, and in tests).
    static void finishBackgroundReleases();

    // The media lock, for the render thread (held briefly around used/dirty updates).
    UnfairLock& mutex() const { return mutex_; }

private:
    struct SideState {
        int64_t used = 0;
        bool dirty = false;
        uint64_t generation = 0;
    };

    // Runs `prepare` and starts the follower; when either fails, releases what was made
    // and throws NorvoAudioError (storage).
    void setUp(const std::function<void()>& prepare);
    // Unmaps and closes the sides, then removes the directory while the lock is still held.
    void release();
    void followHeadLoop();
    void stopFollower();

    CassetteType type_;
    std::filesystem::path directory_;
    int lockFD_ = -1;
    std::atomic<bool> keepWorkspace_{false};
    std::array<std::unique_ptr<TapeSideStorage>, 2> sides_;
    // Follows state_[].used, under the media's lock.
    std::unique_ptr<RecordedLengths> lengths_;
    // A priority-inheriting lock: the render takes it inside the core's lock.
    mutable UnfairLock mutex_;
    std::array<SideState, 2> state_{};

    // Written by the render, read by the follower.
    std::atomic<int64_t> followedHead_{-1};
    std::atomic<int> followedSide_{0};
    std::atomic<int> followedMode_{0};
    std::atomic<uint64_t> followerPasses_{0};
    std::mutex followerMutex_;
    std::condition_variable followerWake_;
    bool followerStopping_ = false;  // guarded by followerMutex_
    std::thread follower_;
};

}  // namespace norvo
