#include "DeckDrop.hpp"

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "StudioModel/LocalPath.hpp"

namespace norvo {

std::optional<std::filesystem::path> DeckDrop::fileToOpen(const QList<QUrl>& urls) {
    const QString cassette = QString::fromLatin1(TapeFileCodec::fileExtension);
    const QString profile = QString::fromLatin1(SoundProfile::fileExtension.data(),
                                                static_cast<qsizetype>(SoundProfile::fileExtension.size()));
    for (const QUrl& url : urls) {
        const auto path = LocalPath::ofUrl(url);
        if (!path) continue;
        const QString extension = LocalPath::shown(path->extension()).mid(1).toLower();
        if (extension == cassette || extension == profile) return path;
    }
    return std::nullopt;
}

}  // namespace norvo
