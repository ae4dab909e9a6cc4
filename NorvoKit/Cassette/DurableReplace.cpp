#include "Cassette/DurableReplace.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "Cassette/CassetteFileError.hpp"

namespace norvo {

namespace {

// A file system that allocates late (network, copy-on-write) may find the disk full only
// when the file is flushed: that disk is named too.
[[noreturn]] void fail(int error, const std::filesystem::path& folder) {
    if (CassetteFileError::meansNoSpace(error)) throw CassetteFileError::noSpace(folder);
    throw CassetteFileError::writeFailed(std::generic_category().message(error));
}

void syncPath(const std::filesystem::path& path, int flags, const std::filesystem::path& folder) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) fail(errno, folder);
    int result;
    do result = ::fsync(fd);
    while (result != 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder; that is no reason to fail a save.
    if (result != 0 && !(flags & O_DIRECTORY && (error == EINVAL || error == ENOTSUP))) fail(error, folder);
}

}  // namespace

void durablyReplace(const std::filesystem::path& temporary, const std::filesystem::path& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::chmod(temporary.c_str(), old.st_mode & 07777);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    syncPath(temporary, O_RDONLY, folder);
    if (::rename(temporary.c_str(), target.c_str()) != 0) fail(errno, folder);
    syncPath(folder, O_RDONLY | O_DIRECTORY, folder);
}

}  // namespace norvo
