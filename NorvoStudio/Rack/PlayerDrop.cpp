#include "PlayerDrop.hpp"

#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "StudioModel/LocalPath.hpp"

namespace norvo {

std::vector<std::filesystem::path> PlayerDrop::playableFiles(const QList<QUrl>& urls) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : urls) {
        // By the bytes the URL encodes: a name that is not UTF-8 still names its file.
        const auto path = LocalPath::ofUrl(url);
        if (!path) continue;
        std::error_code error;
        if (std::filesystem::is_directory(*path, error)) continue;
        if (SourcePlayerEngine::isSupported(*path)) files.push_back(*path);
    }
    return files;
}

}  // namespace norvo
