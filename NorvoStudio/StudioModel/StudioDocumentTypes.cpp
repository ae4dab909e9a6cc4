#include "StudioModel/StudioDocumentTypes.hpp"

#include <algorithm>
#include <cctype>

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

QString StudioDocumentTypes::cassetteNameFilter() { return QStringLiteral("Cassette (*.%1)").arg(cassetteExtension()); }
QString StudioDocumentTypes::soundNameFilter() { return QStringLiteral("Tape Sound (*.%1)").arg(soundExtension()); }

QStringList StudioDocumentTypes::audioNameFilters() {
    // A file dialog shows one filter at a time: the first one admits every type we play.
    QStringList patterns;
    for (const QString& extension : audioExtensions()) patterns << QStringLiteral("*.") + extension;
    return {QStringLiteral("Audio files (%1)").arg(patterns.join(QLatin1Char(' '))),
            QStringLiteral("MP3 audio (*.mp3)"),
            QStringLiteral("WAV audio (*.wav *.wave)"),
            QStringLiteral("AIFF audio (*.aif *.aiff)"),
            QStringLiteral("MPEG-4 audio (*.m4a)"),
            QStringLiteral("FLAC audio (*.flac)"),
            QStringLiteral("Core Audio file (*.caf)")};
}

QStringList StudioDocumentTypes::audioExtensions() {
    return {QStringLiteral("mp3"),  QStringLiteral("wav"), QStringLiteral("wave"), QStringLiteral("aif"),
            QStringLiteral("aiff"), QStringLiteral("m4a"), QStringLiteral("flac"), QStringLiteral("caf")};
}

QString StudioDocumentTypes::cassetteFileName(const QString& name) {
    // Long enough for any sensible name, short enough that the file system takes it.
    constexpr qsizetype maximumStemBytes = 200;
    QString stem;
    qsizetype bytes = 0;
    for (char32_t c : name.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Control) continue;
        // A slash would turn the name into a path through a folder that is not there.
        if (c == U'/') c = U'-';
        const QString character = QString::fromUcs4(&c, 1);
        bytes += character.toUtf8().size();
        if (bytes > maximumStemBytes) break;
        stem += character;
    }
    // A leading dot would hide the file from the folder's listing.
    while (stem.startsWith(QLatin1Char('.'))) stem.remove(0, 1);
    if (stem.trimmed().isEmpty()) stem = QStringLiteral("Mixtape");
    return stem + QLatin1Char('.') + cassetteExtension();
}

std::string StudioDocumentTypes::extensionOf(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace norvo
