#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace norvo::test {

// Writes 8 MB blocks into a file and fsyncs after each, over and over (wrapping at
// 256 MB), as another program saving big files would, until destroyed.
class BusyDisk {
public:
    explicit BusyDisk(const std::filesystem::path& file) {
        thread_ = std::thread([this, file] {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0) return;
            std::vector<char> block(8 << 20, 'x');
            off_t offset = 0;
            while (!stop_) {
                if (::pwrite(fd, block.data(), block.size(), offset) < 0) break;
                ::fsync(fd);
                offset = (offset + off_t(block.size())) % (256 << 20);
                ++rounds;
            }
            ::close(fd);
            ::unlink(file.c_str());
        });
    }
    ~BusyDisk() {
        stop_ = true;
        thread_.join();
    }
    BusyDisk(const BusyDisk&) = delete;
    BusyDisk& operator=(const BusyDisk&) = delete;

    // Blocks written and synced so far.
    std::atomic<int> rounds{0};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace norvo::test
