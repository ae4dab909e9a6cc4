#include "DeckDrop.hpp"

#include <QFileInfo>

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "Cassette/TapeFileCodec.hpp"

namespace norvo {

std::optional<QUrl> DeckDrop::fileToOpen(const QList<QUrl>& urls) {
    const QString cassette = QString::fromLatin1(TapeFileCodec::fileExtension);
    const QString profile = QString::fromLatin1(SoundProfile::fileExtension.data(),
                                                static_cast<qsizetype>(SoundProfile::fileExtension.size()));
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString extension = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (extension == cassette || extension == profile) return url;
    }
    return std::nullopt;
}

}  // namespace norvo
