#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace norvo {

// A file the user handed us, opened for reading only when it is a regular file. The
// open does not block (a FIFO without a writer, or a device, would otherwise hold the
// caller forever), the check is made on the descriptor that was opened (so nothing put
// at the path afterwards is read instead), and reads from the descriptor then block as
// usual.
class RegularFile {
public:
    enum class Failure { none, missing, notRegular, unreadable };

    explicit RegularFile(const std::filesystem::path& path);
    RegularFile() = default;
    ~RegularFile();
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    Failure failure() const { return failure_; }
    // The system's error number of a failure (or of the last failed read).
    int error() const { return error_; }
    int descriptor() const { return fd_; }
    // The size when it was opened.
    uint64_t size() const { return size_; }

    // What went wrong, to follow the file's name in a sentence: "cannot be found",
    // "is not a regular file", "cannot be read: Permission denied".
    std::string reason() const;

    // The bytes from the start, at most `limit` + 1 of them (so a caller can tell a file
    // over its limit); nothing when a read fails (error() says why).
    std::optional<std::string> read(std::size_t limit);

private:
    int fd_ = -1;
    Failure failure_ = Failure::none;
    int error_ = 0;
    uint64_t size_ = 0;
};

}  // namespace norvo
