#pragma once
#include <filesystem>
#include <optional>
#include <string_view>

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace norvo {

// Paths as the system gives them: bytes, not text. Qt decodes a file name as UTF-8 and
// puts U+FFFD where it is not, so a name in another encoding (an old disk's "café" in
// Latin-1) cannot travel through a QString and still name its file. Paths stay
// std::filesystem::path from where they arrive to where a file is opened; a QString of
// one is only ever shown.
struct LocalPath {
    static QByteArray bytes(const std::filesystem::path& path);
    static std::filesystem::path fromBytes(QByteArrayView bytes);

    // For showing: the bytes as UTF-8, U+FFFD where they are not.
    static QString shown(const std::filesystem::path& path);

    // The file a file: URL names, by the bytes its percent-encoding holds (QUrl's own
    // toLocalFile decodes them as UTF-8). Nothing for other URLs.
    static std::optional<std::filesystem::path> ofUrl(const QUrl& url);
    // The same for a URL given as bytes (a command-line argument): raw bytes that are not
    // percent-encoded count as themselves.
    static std::optional<std::filesystem::path> ofUrl(std::string_view url);
    // A file: URL that keeps every byte of an absolute path.
    static QUrl url(const std::filesystem::path& path);

    // Whether something is there, a link to nothing included (lstat).
    static bool onDisk(const std::filesystem::path& path);
    // Whether it is a folder or a link to one.
    static bool isDirectory(const std::filesystem::path& path);
    // $HOME as its bytes where it is an absolute path, else `fallback`.
    static std::filesystem::path home(std::filesystem::path fallback);

    // A path that a file dialog returned as text. Each part that names nothing on disk
    // as UTF-8 but holds U+FFFD is matched against the real entries of its folder,
    // decoded the same lossy way or drawn as ShownText::plain draws them; among several,
    // a folder is preferred inside the path and a file at its end, then the first by
    // bytes. Parts that match nothing stay as UTF-8 (a new file a save panel names).
    static std::filesystem::path resolve(const QString& text);
};

}  // namespace norvo
