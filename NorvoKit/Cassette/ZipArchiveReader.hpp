#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Cassette/FileData.hpp"

struct zip;

namespace norvo {

// A ZIP archive opened for reading with every structural check a hostile file needs:
// local headers must agree with the central directory, names are unique, free of NUL
// bytes and at most 1024 bytes long, at most 4096 entries, and every entry read is
// CRC-32 verified. Failures throw CassetteFileError with the user's sentence.
class ZipArchiveReader {
public:
    struct Entry {
        std::string name;
        uint64_t size = 0;  // uncompressed, as declared
        uint64_t compressedSize = 0;
        uint32_t crc = 0;
        bool encrypted = false;
        bool symbolicLink = false;
        bool directory = false;
    };

    static constexpr std::size_t maximumEntries = 4096;
    static constexpr std::size_t maximumNameBytes = 1024;

    static std::unique_ptr<ZipArchiveReader> open(const std::filesystem::path& file);
    static std::unique_ptr<ZipArchiveReader> open(FileData bytes);
    ~ZipArchiveReader();
    ZipArchiveReader(const ZipArchiveReader&) = delete;
    ZipArchiveReader& operator=(const ZipArchiveReader&) = delete;

    const std::vector<Entry>& entries() const { return entries_; }
    std::optional<std::size_t> find(std::string_view name) const;
    // The entry's bytes; nothing when it declares or inflates to more than `limit` bytes.
    // A bad CRC, a size that differs from the declared one or any other read failure
    // throws damaged.
    std::optional<FileData> read(std::size_t index, uint64_t limit) const;
    // The same checks, the bytes streamed into `file` (created or replaced) instead of
    // memory. False, with the file removed, when the entry is over `limit`; on a read
    // failure the file is removed too. A file that cannot be written throws unreadable
    // (noSpace when its disk is full).
    bool extract(std::size_t index, uint64_t limit, const std::filesystem::path& file) const;

private:
    class Input;
    ZipArchiveReader() = default;
    void load(Input& input, struct zip* archive);

    struct zip* archive_ = nullptr;
    FileData memory_;  // the bytes a memory archive reads from; kept alive with it
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace norvo
