#pragma once
#include <filesystem>
#include <string_view>

#include <QString>

namespace norvo {

// Whole small files written by their path's bytes: QFile takes a QString, which cannot
// hold a name that is not UTF-8 (see LocalPath). Reading goes through RegularFile.
struct LocalFile {
    // Writes the bytes to a temporary file in the target's folder that then replaces the
    // target, so a failed write leaves what was there. The system's reason, or empty.
    static QString replace(const std::filesystem::path& file, std::string_view bytes);
};

}  // namespace norvo
