#include "StudioModel/StudioDocumentTypes.hpp"

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "Cassette/TapeFileCodec.hpp"

namespace norvo {

QString StudioDocumentTypes::cassetteMimeType() { return QString::fromLatin1(TapeFileCodec::mimeType); }
QString StudioDocumentTypes::cassetteExtension() { return QString::fromLatin1(TapeFileCodec::fileExtension); }

QString StudioDocumentTypes::soundMimeType() {
    return QString::fromLatin1(SoundProfile::mimeType.data(), qsizetype(SoundProfile::mimeType.size()));
}
QString StudioDocumentTypes::soundExtension() {
    return QString::fromLatin1(SoundProfile::fileExtension.data(), qsizetype(SoundProfile::fileExtension.size()));
}

QString StudioDocumentTypes::cassetteNameFilter() {
    return QStringLiteral("Cassette (*.%1)").arg(cassetteExtension());
}
QString StudioDocumentTypes::soundNameFilter() {
    return QStringLiteral("Tape Sound (*.%1)").arg(soundExtension());
}

QStringList StudioDocumentTypes::audioNameFilters() {
    return {QStringLiteral("MP3 audio (*.mp3)"), QStringLiteral("WAV audio (*.wav *.wave)"),
            QStringLiteral("AIFF audio (*.aif *.aiff)"), QStringLiteral("MPEG-4 audio (*.m4a)"),
            QStringLiteral("FLAC audio (*.flac)"), QStringLiteral("Core Audio file (*.caf)")};
}

QStringList StudioDocumentTypes::audioExtensions() {
    return {QStringLiteral("mp3"), QStringLiteral("wav"),  QStringLiteral("wave"), QStringLiteral("aif"),
            QStringLiteral("aiff"), QStringLiteral("m4a"), QStringLiteral("flac"), QStringLiteral("caf")};
}

}  // namespace norvo
