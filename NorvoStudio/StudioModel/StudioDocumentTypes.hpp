#pragma once
#include <filesystem>
#include <string>

#include <QString>
#include <QStringList>

namespace norvo {

// The application's two document types, named from the engine's codecs.
struct StudioDocumentTypes {
    // "application/vnd.norvo.cassette", "norvo"
    static QString cassetteMimeType();
    static QString cassetteExtension();
    // "application/vnd.norvo.sound+json", "nvsound"
    static QString soundMimeType();
    static QString soundExtension();
    // Name filters for file panels: "Cassette (*.norvo)", "Tape Sound (*.nvsound)".
    static QString cassetteNameFilter();
    static QString soundNameFilter();
    // Audio files for the player: one filter admitting all of them, then one per type in
    // panel order: MP3, WAV, AIFF, MPEG-4 audio, FLAC (+ CAF).
    static QStringList audioNameFilters();
    static QStringList audioExtensions();
    // "<name>.norvo" for a save panel: no slashes, control characters or leading dots, at
    // most 200 bytes before the extension, "Mixtape" when nothing is left.
    static QString cassetteFileName(const QString& name);
    // A file's extension, lowercased and without its dot: what documents are told apart by.
    static std::string extensionOf(const std::filesystem::path& file);
};

}  // namespace norvo
