#include "StudioModel/LocalPath.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

constexpr QChar replacementCharacter(0xFFFD);

// The entries of a folder whose names decode (lossily) to `shown`, or are shown so.
std::vector<std::string> entriesShownAs(const std::filesystem::path& folder, const QString& shown) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) return names;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        if (QString::fromUtf8(name.data(), qsizetype(name.size())) == shown || ShownText::plain(name) == shown)
            names.emplace_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

QByteArray LocalPath::bytes(const std::filesystem::path& path) {
    const std::string& native = path.native();
    return QByteArray(native.data(), qsizetype(native.size()));
}

std::filesystem::path LocalPath::fromBytes(QByteArrayView bytes) {
    return std::filesystem::path(std::string(bytes.data(), std::size_t(bytes.size())));
}

QString LocalPath::shown(const std::filesystem::path& path) { return QString::fromUtf8(bytes(path)); }

std::optional<std::filesystem::path> LocalPath::ofUrl(const QUrl& url) {
    if (!url.isLocalFile()) return std::nullopt;
    const QByteArray encoded = url.toEncoded();
    return ofUrl(std::string_view(encoded.constData(), std::size_t(encoded.size())));
}

std::optional<std::filesystem::path> LocalPath::ofUrl(std::string_view url) {
    constexpr std::string_view scheme = "file:";
    if (url.size() < scheme.size() || !std::equal(scheme.begin(), scheme.end(), url.begin(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : b);
        }))
        return std::nullopt;
    std::string_view rest = url.substr(scheme.size());
    if (rest.starts_with("//")) {
        // Only this machine's files: no host, or "localhost".
        const std::size_t slash = rest.find('/', 2);
        const std::string_view host = rest.substr(2, slash == std::string_view::npos ? rest.npos : slash - 2);
        if (!host.empty() && host != "localhost") return std::nullopt;
        if (slash == std::string_view::npos) return std::nullopt;
        rest = rest.substr(slash);
    }
    if (!rest.starts_with('/')) return std::nullopt;
    rest = rest.substr(0, rest.find_first_of("?#"));
    const QByteArray decoded = QByteArray::fromPercentEncoding(QByteArray(rest.data(), qsizetype(rest.size())));
    if (decoded.contains('\0')) return std::nullopt;
    return fromBytes(decoded);
}

QUrl LocalPath::url(const std::filesystem::path& path) {
    // Everything but the unreserved characters and "/" percent-encoded, bytes as they are.
    return QUrl::fromEncoded("file://" + bytes(path).toPercentEncoding("/"), QUrl::StrictMode);
}

bool LocalPath::onDisk(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool LocalPath::isDirectory(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::filesystem::path LocalPath::home(std::filesystem::path fallback) {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    return fallback;
}

std::filesystem::path LocalPath::resolve(const QString& text) {
    const std::filesystem::path whole = fromBytes(text.toUtf8());
    if (!text.contains(replacementCharacter) || onDisk(whole)) return whole;

    std::filesystem::path resolved;
    const std::filesystem::path parts = whole;
    auto part = parts.begin();
    const auto end = parts.end();
    bool found = true;  // every part so far is on disk
    for (; part != end; ++part) {
        const std::filesystem::path candidate = resolved.empty() ? *part : resolved / *part;
        if (!found || onDisk(candidate)) {
            resolved = candidate;
            continue;
        }
        const QString shown = LocalPath::shown(*part);
        std::vector<std::string> names;
        if (shown.contains(replacementCharacter)) names = entriesShownAs(resolved.empty() ? "." : resolved, shown);
        if (names.empty()) {
            found = false;
            resolved = candidate;
            continue;
        }
        const bool last = std::next(part) == end;
        // A folder inside the path, a file at its end; otherwise the first by bytes.
        auto preferred = std::find_if(names.begin(), names.end(),
                                      [&](const std::string& name) { return isDirectory(resolved / name) != last; });
        resolved /= preferred != names.end() ? *preferred : names.front();
    }
    return resolved;
}

}  // namespace norvo
