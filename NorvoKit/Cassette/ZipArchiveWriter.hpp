#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "Cassette/FileData.hpp"

struct zip;
struct zip_source;

namespace norvo {

// A new ZIP archive, written by libzip in one go at close(); entries keep the order
// they were added in. The data of added entries must stay alive until close().
class ZipArchiveWriter {
public:
    enum class Compression { stored, deflated };

    // `file` must not exist yet. Throws CassetteFileError (writeFailed).
    explicit ZipArchiveWriter(const std::filesystem::path& file);
    // Without a successful close() nothing is left on disk.
    ~ZipArchiveWriter();
    ZipArchiveWriter(const ZipArchiveWriter&) = delete;
    ZipArchiveWriter& operator=(const ZipArchiveWriter&) = delete;

    void add(const std::string& name, const FileData& data, Compression compression);
    void addFile(const std::string& name, const std::filesystem::path& source, Compression compression);
    // Writes the archive; progress receives fractions 0...1. Throws writeFailed, or
    // noSpace when the disk that holds the file is full.
    void close(const std::function<void(double)>& progress);

private:
    void addSource(const std::string& name, ::zip_source* source, Compression compression);
    [[noreturn]] void fail();

    std::filesystem::path folder_;
    ::zip* archive_ = nullptr;
};

}  // namespace norvo
