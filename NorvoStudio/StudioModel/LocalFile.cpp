#include "StudioModel/LocalFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "Platform/Uuid.hpp"

namespace norvo {

namespace {

QString reason(int error) { return QString::fromStdString(std::generic_category().message(error)); }

}  // namespace

QString LocalFile::replace(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path temporary =
        file.parent_path() / ("." + file.filename().native() + "." + Uuid::random().text() + ".tmp");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return reason(errno);
    int error = 0;
    // A file that is replaced keeps who may read it.
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0 && ::fchmod(fd, existing.st_mode & 07777) != 0) error = errno;
    for (std::size_t written = 0; written < bytes.size() && error == 0;) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) error = errno;
        else written += std::size_t(put);
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), file.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return reason(error);
    }
    return {};
}

}  // namespace norvo
