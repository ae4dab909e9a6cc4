#include "AudioEngine/TapeMedia.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "AudioEngine/NorvoAudioError.hpp"
#include "Platform/Uuid.hpp"
#include "Platform/XdgPaths.hpp"

namespace norvo {

namespace {

constexpr const char* lockFileName = ".lock";

std::filesystem::path sideFileName(TapeSide side) { return side == TapeSide::a ? "side-a.pcm" : "side-b.pcm"; }

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

}  // namespace

TapeMedia::TapeMedia(const CassetteType& type) : TapeMedia(type, workspacesRoot()) {}

TapeMedia::TapeMedia(const CassetteType& type, const std::filesystem::path& root) : type_(type) {
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec) throw NorvoAudioError::storage("Cannot create the workspaces folder " + root.string() + ": " + ec.message());

    const std::filesystem::path directory = root / Uuid::random().text();
    if (::mkdir(directory.c_str(), 0700) != 0)
        throw NorvoAudioError::storage("Cannot create a workspace in " + root.string() + ": " +
                                       std::generic_category().message(errno));
    directory_ = directory;

    try {
        int error = 0;
        lockFD_ = takeLock(directory_, error);
        if (lockFD_ < 0)
            throw NorvoAudioError::storage("Cannot lock the workspace " + directory_.string() + ": " +
                                           std::generic_category().message(error));
        for (TapeSide side : allTapeSides)
            sides_[rawValue(side)] = std::make_unique<TapeSideStorage>(directory_ / sideFileName(side), type_.sideFrames());
    } catch (const NorvoAudioError&) {
        release();
        throw;
    } catch (const std::exception& e) {
        release();
        throw NorvoAudioError::storage(e.what());
    }
}

TapeMedia::~TapeMedia() { release(); }

void TapeMedia::release() {
    for (auto& side : sides_) side.reset();
    if (directory_.empty()) return;
    // Removed while the lock is still held, so no sweeper sees a half-removed
    // workspace as someone else's.
    std::error_code ec;
    std::filesystem::remove_all(directory_, ec);
    if (lockFD_ >= 0) ::close(lockFD_);
    lockFD_ = -1;
    directory_.clear();
}

std::filesystem::path TapeMedia::workspacesRoot() { return XdgPaths::cacheHome() / "Norvo Studio" / "Workspaces"; }

void TapeMedia::sweepStaleWorkspaces() { sweepStaleWorkspaces(workspacesRoot()); }

void TapeMedia::sweepStaleWorkspaces(const std::filesystem::path& root) {
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
    for (const auto& directory : candidates) {
        int error = 0;
        const int fd = takeLock(directory, error);
        if (fd < 0) continue;  // a live owner holds it, or it is not ours to judge
        std::filesystem::remove_all(directory, ec);
        ::close(fd);
    }
}

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
}

void TapeMedia::setUsedClean(TapeSide side, int64_t frames) {
    const int64_t capacity = type_.sideFrames();
    std::lock_guard lock(mutex_);
    SideState& state = state_[rawValue(side)];
    state.used = std::clamp<int64_t>(frames, 0, capacity);
    state.dirty = false;
    ++state.generation;
}

bool TapeMedia::clearDirty(TapeSide side, uint64_t generation) {
    std::lock_guard lock(mutex_);
    SideState& state = state_[rawValue(side)];
    if (state.generation != generation) return false;
    state.dirty = false;
    return true;
}

}  // namespace norvo
