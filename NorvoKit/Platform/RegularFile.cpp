#include "Platform/RegularFile.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace norvo {

RegularFile::RegularFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error_ = errno;
        failure_ = error_ == ENOENT || error_ == ENOTDIR ? Failure::missing : Failure::unreadable;
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error_ = errno;
        failure_ = Failure::unreadable;
        ::close(fd);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        failure_ = Failure::notRegular;
        ::close(fd);
        return;
    }
    // A regular file never blocks anyway; reads are plain ones from here on.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    size_ = static_cast<uint64_t>(info.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

RegularFile::RegularFile(RegularFile&& other) noexcept { *this = std::move(other); }

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        failure_ = other.failure_;
        error_ = other.error_;
        size_ = other.size_;
    }
    return *this;
}

std::string RegularFile::reason() const {
    switch (failure_) {
    case Failure::missing: return "cannot be found";
    case Failure::notRegular: return "is not a regular file";
    case Failure::unreadable:
    case Failure::none: break;
    }
    return "cannot be read: " + std::generic_category().message(error_);
}

std::optional<std::string> RegularFile::read(std::size_t limit) {
    if (fd_ < 0) return std::nullopt;
    std::string bytes;
    const std::size_t wanted = limit + 1;
    bytes.resize(std::min<uint64_t>(wanted, std::max<uint64_t>(size_, 4096)));
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done >= wanted) break;
            bytes.resize(std::min(wanted, bytes.size() * 2));
        }
        const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = errno;
            return std::nullopt;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace norvo
