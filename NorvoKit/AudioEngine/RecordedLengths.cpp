#include "AudioEngine/RecordedLengths.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "AudioEngine/NorvoAudioError.hpp"

namespace norvo {

namespace {

constexpr std::size_t fileBytes = 2 * sizeof(int64_t);

std::string reason(int error) { return std::generic_category().message(error); }

}  // namespace

RecordedLengths::RecordedLengths(const std::filesystem::path& workspace) {
    const std::filesystem::path file = workspace / fileName;
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) throw NorvoAudioError::storage("Cannot open the recorded lengths: " + reason(errno));
    auto fail = [&](const std::string& what, int error) {
        ::close(fd_);
        fd_ = -1;
        throw NorvoAudioError::storage(what + ": " + reason(error));
    };
    struct stat info {};
    if (::fstat(fd_, &info) != 0) fail("Cannot read the recorded lengths", errno);
    if (info.st_size != static_cast<off_t>(fileBytes)) {
        // Written, not only sized, so that the block exists and a store never has to
        // allocate one.
        const int64_t empty[2] = {0, 0};
        if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, empty, fileBytes, 0) != static_cast<ssize_t>(fileBytes))
            fail("Cannot write the recorded lengths", errno);
    }
    void* mapped = ::mmap(nullptr, fileBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (mapped == MAP_FAILED) fail("Cannot map the recorded lengths", errno);
    slots_ = static_cast<int64_t*>(mapped);
    // One page: locking it keeps it resident; where the limit forbids even that, it was
    // at least faulted in writable just now.
    prepare();
    (void)::mlock(slots_, fileBytes);
}

RecordedLengths::~RecordedLengths() {
    if (slots_) ::munmap(slots_, fileBytes);
    if (fd_ >= 0) ::close(fd_);
}

void RecordedLengths::store(TapeSide side, int64_t frames) noexcept {
    std::atomic_ref<int64_t>(slots_[rawValue(side)]).store(frames, std::memory_order_release);
}

int64_t RecordedLengths::load(TapeSide side) const noexcept {
    return std::atomic_ref<int64_t>(slots_[rawValue(side)]).load(std::memory_order_acquire);
}

void RecordedLengths::prepare() const {
#if defined(MADV_POPULATE_WRITE)
    if (::madvise(slots_, fileBytes, MADV_POPULATE_WRITE) == 0) return;
#endif
    std::atomic_ref<int64_t>(slots_[0]).fetch_add(0, std::memory_order_relaxed);
}

std::optional<std::array<int64_t, 2>> RecordedLengths::read(const std::filesystem::path& workspace) {
    const int fd = ::open((workspace / fileName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    std::array<int64_t, 2> lengths{};
    const ssize_t got = ::pread(fd, lengths.data(), fileBytes, 0);
    struct stat info {};
    const bool whole = ::fstat(fd, &info) == 0 && info.st_size == static_cast<off_t>(fileBytes);
    ::close(fd);
    if (got != static_cast<ssize_t>(fileBytes) || !whole) return std::nullopt;
    return lengths;
}

}  // namespace norvo
