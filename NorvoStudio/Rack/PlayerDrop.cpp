#include "PlayerDrop.hpp"

#include <QFile>
#include <QFileInfo>

#include "SourcePlayer/SourcePlayerEngine.hpp"

namespace norvo {

std::vector<std::filesystem::path> PlayerDrop::playableFiles(const QList<QUrl>& urls) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString local = url.toLocalFile();
        if (QFileInfo(local).isDir()) continue;
        const std::filesystem::path path(QFile::encodeName(local).toStdString());
        if (SourcePlayerEngine::isSupported(path)) files.push_back(path);
    }
    return files;
}

}  // namespace norvo
