#pragma once
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace norvo::test {

// A file system of a few hundred kilobytes mounted on a folder, to see what a full disk
// does. Only where the test may mount one (root in a system that lets it): mounted()
// says whether it is there; tests skip without it. Unmounted when destroyed.
class SmallDisk {
public:
    SmallDisk(std::filesystem::path folder, std::size_t bytes) : folder_(std::move(folder)) {
        std::filesystem::create_directories(folder_);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::filesystem::path& path() const { return folder_; }

    // Takes up every byte that is left.
    void fill() const {
        const int fd = ::open((folder_ / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return;
        const std::vector<char> block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

}  // namespace norvo::test
