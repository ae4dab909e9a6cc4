#include "Cassette/ZipArchiveReader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <system_error>
#include <unistd.h>
#include <unordered_set>
#include <zip.h>
#include <zlib.h>

#include "Cassette/CassetteFileError.hpp"
#include "Platform/RegularFile.hpp"

namespace norvo {

namespace {

constexpr uint32_t localHeaderSignature = 0x04034b50;
constexpr uint32_t centralHeaderSignature = 0x02014b50;
constexpr uint32_t endSignature = 0x06054b50;
constexpr uint32_t zip64LocatorSignature = 0x07064b50;
constexpr uint32_t zip64EndSignature = 0x06064b50;
constexpr uint64_t endRecordSize = 22;
constexpr uint64_t centralHeaderSize = 46;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return static_cast<uint32_t>(le16(p)) | static_cast<uint32_t>(le16(p + 2)) << 16; }
uint64_t le64(const uint8_t* p) { return static_cast<uint64_t>(le32(p)) | static_cast<uint64_t>(le32(p + 4)) << 32; }

// Where the central directory is, as the end records say.
struct Directory {
    uint64_t offset = 0;
    uint64_t entries = 0;
};

}  // namespace

// Random access to the archive's bytes, from a file or from memory.
class ZipArchiveReader::Input {
public:
    // A regular file of `size` bytes, open at `fd`.
    Input(int fd, uint64_t size) : fd_(fd), size_(size) {}
    explicit Input(const FileData& bytes) : memory_(&bytes), size_(bytes.size()) {}

    uint64_t size() const { return size_; }

    bool read(uint64_t offset, std::size_t count, uint8_t* out) const {
        if (offset > size_ || count > size_ - offset) return false;
        if (memory_) {
            std::memcpy(out, memory_->data() + offset, count);
            return true;
        }
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool startsWithLocalHeader() const {
        uint8_t head[4];
        return read(0, 4, head) && le32(head) == localHeaderSignature;
    }

    // The end of central directory record (and its ZIP64 form); nothing when absent.
    std::optional<Directory> directory() const {
        if (size_ < endRecordSize) return std::nullopt;
        const uint64_t span = std::min<uint64_t>(size_, endRecordSize + 0xFFFF);
        std::vector<uint8_t> tail(span);
        if (!read(size_ - span, span, tail.data())) return std::nullopt;
        for (uint64_t at = span - endRecordSize + 1; at-- > 0;) {
            const uint8_t* p = tail.data() + at;
            if (le32(p) != endSignature) continue;
            if (at + endRecordSize + le16(p + 20) > span) continue;  // the comment would not fit
            Directory directory{le32(p + 16), le16(p + 10)};
            const bool zip64 = le16(p + 10) == 0xFFFF || le32(p + 16) == 0xFFFFFFFF;
            if (!zip64) return directory;
            const uint64_t endOffset = size_ - span + at;
            uint8_t locator[20];
            uint8_t record[56];
            if (endOffset < 20 || !read(endOffset - 20, 20, locator) || le32(locator) != zip64LocatorSignature)
                return std::nullopt;
            if (!read(le64(locator + 8), 56, record) || le32(record) != zip64EndSignature) return std::nullopt;
            return Directory{le64(record + 48), le64(record + 32)};
        }
        return std::nullopt;
    }

private:
    int fd_ = -1;
    const FileData* memory_ = nullptr;
    uint64_t size_ = 0;
};

namespace {

// A file that libzip cannot open: a damaged ZIP when it begins like one, else not a ZIP at all.
[[noreturn]] void refuseUnopenable(int zipError, bool looksLikeZip) {
    if (zipError == ZIP_ER_NOZIP && !looksLikeZip) throw CassetteFileError::notCassette();
    throw CassetteFileError::damaged();
}

// The raw names of the central directory, read by us: libzip hands names out as C
// strings, which would hide a NUL byte inside a name.
std::vector<std::string> centralDirectoryNames(const std::function<bool(uint64_t, std::size_t, uint8_t*)>& read,
                                               const Directory& directory) {
    std::vector<std::string> names;
    names.reserve(directory.entries);
    uint64_t at = directory.offset;
    for (uint64_t i = 0; i < directory.entries; ++i) {
        uint8_t header[centralHeaderSize];
        if (!read(at, centralHeaderSize, header) || le32(header) != centralHeaderSignature)
            throw CassetteFileError::damaged();
        const uint16_t nameLength = le16(header + 28);
        if (nameLength > ZipArchiveReader::maximumNameBytes) throw CassetteFileError::damaged();
        std::string name(nameLength, '\0');
        if (!read(at + centralHeaderSize, nameLength, reinterpret_cast<uint8_t*>(name.data())))
            throw CassetteFileError::damaged();
        if (name.find('\0') != std::string::npos) throw CassetteFileError::damaged();
        names.push_back(std::move(name));
        at += centralHeaderSize + nameLength + le16(header + 30) + le16(header + 32);
    }
    return names;
}

}  // namespace

std::unique_ptr<ZipArchiveReader> ZipArchiveReader::open(const std::filesystem::path& file) {
    // Only a regular file: a FIFO or a device would hold the reading thread forever.
    const RegularFile opened(file);
    switch (opened.failure()) {
    case RegularFile::Failure::none: break;
    case RegularFile::Failure::missing: throw CassetteFileError::notFound();
    case RegularFile::Failure::notRegular: throw CassetteFileError::notRegularFile();
    case RegularFile::Failure::unreadable:
        throw CassetteFileError::unreadable(std::generic_category().message(opened.error()));
    }
    const int fd = opened.descriptor();
    std::unique_ptr<ZipArchiveReader> reader(new ZipArchiveReader);
    Input input(fd, opened.size());
    reader->load(input, nullptr);
    // libzip gets its own descriptor of the file that was checked and closes it with the archive.
    const int zipFD = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (zipFD < 0) throw CassetteFileError::unreadable(std::generic_category().message(errno));
    int error = 0;
    zip_t* archive = zip_fdopen(zipFD, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        ::close(zipFD);
        refuseUnopenable(error, input.startsWithLocalHeader());
    }
    reader->load(input, archive);
    return reader;
}

std::unique_ptr<ZipArchiveReader> ZipArchiveReader::open(FileData bytes) {
    std::unique_ptr<ZipArchiveReader> reader(new ZipArchiveReader);
    reader->memory_ = std::move(bytes);
    Input input(reader->memory_);
    reader->load(input, nullptr);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(reader->memory_.data(), reader->memory_.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        throw CassetteFileError::damaged();
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(source);
        refuseUnopenable(code, input.startsWithLocalHeader());
    }
    reader->load(input, archive);
    return reader;
}

// Called twice: before libzip sees the file (archive null: only the entry count, so a
// file claiming millions of entries is refused before anything is allocated for them)
// and after (the names and attributes of every entry).
void ZipArchiveReader::load(Input& input, zip_t* archive) {
    const auto directory = input.directory();
    if (!directory) {
        if (archive) zip_discard(archive);
        refuseUnopenable(ZIP_ER_NOZIP, input.startsWithLocalHeader());
    }
    if (directory->entries > maximumEntries) {
        if (archive) zip_discard(archive);
        throw CassetteFileError::tooLarge();
    }
    if (!archive) return;
    archive_ = archive;

    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    if (count < 0 || static_cast<uint64_t>(count) != directory->entries) throw CassetteFileError::damaged();
    const auto names = centralDirectoryNames(
        [&](uint64_t offset, std::size_t size, uint8_t* out) { return input.read(offset, size, out); }, *directory);

    std::unordered_set<std::string> seen;
    entries_.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char* libzipName = zip_get_name(archive_, i, ZIP_FL_ENC_RAW);
        if (!libzipName || names[i] != libzipName) throw CassetteFileError::damaged();
        if (!seen.insert(names[i]).second) throw CassetteFileError::damaged();  // duplicate name

        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive_, i, ZIP_FL_ENC_RAW, &stat) != 0) throw CassetteFileError::damaged();
        Entry entry;
        entry.name = names[i];
        entry.size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
        entry.compressedSize = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
        entry.crc = (stat.valid & ZIP_STAT_CRC) ? stat.crc : 0;
        entry.encrypted = (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
        entry.directory = !entry.name.empty() && entry.name.back() == '/';
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive_, i, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX)
            entry.symbolicLink = ((attributes >> 16) & S_IFMT) == S_IFLNK;
        index_.emplace(entry.name, i);
        entries_.push_back(std::move(entry));
    }
}

ZipArchiveReader::~ZipArchiveReader() {
    if (archive_) zip_discard(archive_);
}

std::optional<std::size_t> ZipArchiveReader::find(std::string_view name) const {
    auto it = index_.find(std::string(name));
    if (it == index_.end()) return std::nullopt;
    return it->second;
}

std::optional<FileData> ZipArchiveReader::read(std::size_t index, uint64_t limit) const {
    const Entry& entry = entries_.at(index);
    if (entry.size > limit) return std::nullopt;
    if (entry.encrypted) throw CassetteFileError::notCassette();
    zip_file_t* file = zip_fopen_index(archive_, index, 0);
    if (!file) throw CassetteFileError::damaged();

    // An entry may inflate past its declared size (a zip bomb); what comes beyond it is
    // counted, never kept, and only up to the limit, so it cannot exhaust memory.
    // The buffer grows with what arrives, so a size header that lies costs nothing.
    std::vector<uint8_t> bytes(std::min<uint64_t>(entry.size, 1 << 20));
    std::vector<uint8_t> overflow;
    uint64_t total = 0;
    bool failed = false;
    bool overLimit = false;
    for (;;) {
        uint8_t* into = nullptr;
        uint64_t room = 0;
        if (total < entry.size) {
            if (total == bytes.size()) bytes.resize(std::min<uint64_t>(entry.size, bytes.size() * 2));
            into = bytes.data() + total;
            room = bytes.size() - total;
        } else {
            overflow.resize(std::min<uint64_t>(limit + 1 - total, 1 << 16));
            into = overflow.data();
            room = overflow.size();
        }
        const zip_int64_t n = zip_fread(file, into, room);
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        if (total > limit) {
            overLimit = true;
            break;
        }
    }
    zip_fclose(file);
    if (overLimit) return std::nullopt;
    if (failed || total != entry.size) throw CassetteFileError::damaged();

    // Our own CRC-32 too, so a check libzip skips (a size it did not read to the end)
    // cannot let damaged bytes through.
    uLong crc = crc32(0L, Z_NULL, 0);
    for (uint64_t done = 0; done < total;) {
        const uInt chunk = static_cast<uInt>(std::min<uint64_t>(total - done, 1u << 30));
        crc = crc32(crc, bytes.data() + done, chunk);
        done += chunk;
    }
    if (static_cast<uint32_t>(crc) != entry.crc) throw CassetteFileError::damaged();
    return FileData(std::move(bytes));
}

bool ZipArchiveReader::extract(std::size_t index, uint64_t limit, const std::filesystem::path& path) const {
    const Entry& entry = entries_.at(index);
    if (entry.size > limit) return false;
    if (entry.encrypted) throw CassetteFileError::notCassette();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) throw CassetteFileError::unreadable(std::strerror(errno));
    zip_file_t* file = zip_fopen_index(archive_, index, 0);
    if (!file) {
        std::fclose(out);
        std::filesystem::remove(path);
        throw CassetteFileError::damaged();
    }
    // A piece at a time: what is inflated goes to the file, never into a growing buffer,
    // and reading stops as soon as the entry passes its declared size or the limit.
    std::vector<uint8_t> piece(1 << 16);
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t total = 0;
    bool failed = false, overLimit = false, unwritable = false;
    int writeError = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file, piece.data(), piece.size());
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        if (total > limit) {
            overLimit = true;
            break;
        }
        if (total > entry.size) {
            failed = true;
            break;
        }
        crc = crc32(crc, piece.data(), static_cast<uInt>(n));
        if (std::fwrite(piece.data(), 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n)) {
            unwritable = true;
            writeError = errno;
            break;
        }
    }
    zip_fclose(file);
    if (std::fclose(out) != 0 && !unwritable) {
        unwritable = true;
        writeError = errno;
    }
    const bool complete =
        !failed && !overLimit && !unwritable && total == entry.size && static_cast<uint32_t>(crc) == entry.crc;
    if (complete) return true;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (overLimit) return false;
    // A full disk is named, so the user knows which one to make room on.
    if (unwritable && CassetteFileError::meansNoSpace(writeError)) throw CassetteFileError::noSpace(path.parent_path());
    if (unwritable) throw CassetteFileError::unreadable(std::strerror(writeError));
    throw CassetteFileError::damaged();
}

}  // namespace norvo
