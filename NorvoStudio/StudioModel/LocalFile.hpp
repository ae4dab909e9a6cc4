#pragma once
#include <filesystem>
#include <string_view>

#include <QByteArray>
#include <QString>

namespace norvo {

// Whole small files read and written by their path's bytes: QFile takes a QString, which
// cannot hold a name that is not UTF-8 (see LocalPath).
struct LocalFile {
    struct Contents {
        QByteArray bytes;
        QString error;  // the system's reason; empty when the file was read
    };
    // At most `limit` bytes from the start of the file.
    static Contents read(const std::filesystem::path& file, qint64 limit);

    // Writes the bytes to a temporary file in the target's folder that then replaces the
    // target, so a failed write leaves what was there. The system's reason, or empty.
    static QString replace(const std::filesystem::path& file, std::string_view bytes);
};

}  // namespace norvo
