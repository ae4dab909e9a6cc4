#include "Cassette/ZipArchiveWriter.hpp"

#include <cstring>
#include <zip.h>

#include "Cassette/CassetteFileError.hpp"

namespace norvo {

namespace {

std::string describe(zip_error_t* error) {
    // The system's reason reads better than libzip's wrapper around it.
    if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) != 0)
        return std::strerror(zip_error_code_system(error));
    return zip_error_strerror(error);
}

}  // namespace

ZipArchiveWriter::ZipArchiveWriter(const std::filesystem::path& file) : folder_(file.parent_path()) {
    int error = 0;
    archive_ = zip_open(file.c_str(), ZIP_CREATE | ZIP_EXCL, &error);
    if (!archive_) {
        zip_error_t detail;
        zip_error_init_with_code(&detail, error);
        const std::string text = describe(&detail);
        zip_error_fini(&detail);
        throw CassetteFileError::writeFailed(text);
    }
}

ZipArchiveWriter::~ZipArchiveWriter() {
    if (archive_) zip_discard(archive_);
}

void ZipArchiveWriter::fail() {
    zip_error_t* error = zip_get_error(archive_);
    const int system = zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : 0;
    const std::string text = describe(error);
    zip_discard(archive_);
    archive_ = nullptr;
    // A full disk is named, so the user knows which one to make room on.
    if (CassetteFileError::meansNoSpace(system)) throw CassetteFileError::noSpace(folder_);
    throw CassetteFileError::writeFailed(text);
}

void ZipArchiveWriter::add(const std::string& name, const FileData& data, Compression compression) {
    // A zero-length buffer still needs a valid pointer.
    static const uint8_t empty = 0;
    addSource(name, zip_source_buffer(archive_, data.empty() ? &empty : data.data(), data.size(), 0), compression);
}

void ZipArchiveWriter::addFile(const std::string& name, const std::filesystem::path& sourceFile,
                               Compression compression) {
    addSource(name, zip_source_file(archive_, sourceFile.c_str(), 0, 0), compression);
}

void ZipArchiveWriter::addSource(const std::string& name, zip_source_t* source, Compression compression) {
    if (!source) fail();
    zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    // An entry carried from another tool's archive may have a name in a legacy code page
    // (or with control characters) that libzip will not call UTF-8; it is kept as it came.
    if (index < 0 && zip_error_code_zip(zip_get_error(archive_)) == ZIP_ER_INVAL) {
        zip_error_clear(archive_);
        index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_GUESS);
    }
    if (index < 0) {
        zip_source_free(source);
        fail();
    }
    const zip_int32_t method = compression == Compression::stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    if (zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), method, 0) != 0) fail();
}

void ZipArchiveWriter::close(const std::function<void(double)>& progress) {
    if (progress) {
        zip_register_progress_callback_with_state(
            archive_, 0.01,
            [](zip_t*, double fraction, void* state) {
                (*static_cast<const std::function<void(double)>*>(state))(fraction);
            },
            nullptr, const_cast<std::function<void(double)>*>(&progress));
    }
    if (zip_close(archive_) != 0) fail();
    archive_ = nullptr;
}

}  // namespace norvo
