#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "AudioEngine/TapeSideStorage.hpp"

namespace norvo {

// The workspace of the loaded cassette: a directory named by a fresh UUID under
// workspacesRoot() holding ".lock" (flock'd for the media's life), "side-a.pcm" and
// "side-b.pcm". Held by shared_ptr; the last reference (never dropped on the audio
// thread) unmaps, closes and removes the directory.
class TapeMedia {
public:
    // Throws NorvoAudioError (storage) when the workspace cannot be created; what it
    // made is removed.
    explicit TapeMedia(const CassetteType& type);
    // The same, in a chosen root (tests).
    TapeMedia(const CassetteType& type, const std::filesystem::path& root);
    ~TapeMedia();
    TapeMedia(const TapeMedia&) = delete;
    TapeMedia& operator=(const TapeMedia&) = delete;

    // $XDG_CACHE_HOME/Norvo Studio/Workspaces
    static std::filesystem::path workspacesRoot();
    // Removes workspace directories (UUID names only) whose lock no live owner holds.
    static void sweepStaleWorkspaces();
    static void sweepStaleWorkspaces(const std::filesystem::path& root);

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

    // The media lock, for the render thread (held briefly around used/dirty updates).
    std::mutex& mutex() const { return mutex_; }

private:
    struct SideState {
        int64_t used = 0;
        bool dirty = false;
        uint64_t generation = 0;
    };

    // Unmaps and closes the sides, then removes the directory while the lock is still held.
    void release();

    CassetteType type_;
    std::filesystem::path directory_;
    int lockFD_ = -1;
    std::array<std::unique_ptr<TapeSideStorage>, 2> sides_;
    mutable std::mutex mutex_;
    std::array<SideState, 2> state_{};
};

}  // namespace norvo
