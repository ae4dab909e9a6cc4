#include "Platform/FileReplacement.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvo {

int FileReplacement::write(const std::filesystem::path& file, std::string_view bytes) const {
    const int flags =
        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (exclusive ? O_EXCL : 0) | (refusesLink ? O_NOFOLLOW : 0);
    const int fd = ::open(temporary.c_str(), flags, mode);
    if (fd < 0) return errno;
    int error = 0;
    struct stat existing {};
    if (keepsTargetMode && ::stat(file.c_str(), &existing) == 0 && ::fchmod(fd, existing.st_mode & 07777) != 0)
        error = errno;
    for (std::size_t written = 0; written < bytes.size() && error == 0;) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) error = errno;
        else written += std::size_t(put);
    }
    if (error == 0 && durable && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), file.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    return error;
}

}  // namespace norvo
