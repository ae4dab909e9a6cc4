#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "AudioEngine/CassetteType.hpp"
#include "AudioEngine/TapeSide.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/FileData.hpp"
#include "Platform/Clock.hpp"

namespace norvo {

class TapeMedia;

// The .norvo container: a ZIP holding "mimetype" (first, stored), the recorded sides as
// AAC in "audio/side-a.m4a" and "audio/side-b.m4a" (stored), the artwork under
// "artwork/", the entries of an opened file this version does not know, and
// "manifest.json" (last, deflated).
struct TapeFileCodec {
    static constexpr const char* fileExtension = "norvo";
    static constexpr const char* typeIdentifier = "org.norvo.cassette";
    static constexpr const char* mimeType = "application/vnd.norvo.cassette";

    // The stored manifest, for the reader and the writer alike.
    static constexpr uint64_t maximumManifestBytes = uint64_t{1} << 20;
    static constexpr uint64_t maximumAudioBytes = uint64_t{2} << 30;
    static constexpr uint64_t maximumArtworkBytes = uint64_t{64} << 20;
    static constexpr uint64_t maximumUnknownBytes = uint64_t{64} << 20;

    // Fractions of the work, 1.0 at the end; called on the thread that reads or writes.
    using Progress = std::function<void(double)>;
    // Makes the workspace for a cassette that is read; a new TapeMedia(type) when not given.
    using MediaFactory = std::function<std::shared_ptr<TapeMedia>(const CassetteType&)>;

    struct ReadResult {
        CassetteDocument document;
        std::shared_ptr<TapeMedia> media;  // the decoded sides, used = their recorded length, clean
    };

    // "jpg" for JPEG bytes (FF D8 FF), else "png".
    static std::string imageExtension(const FileData& image);
    static std::string audioEntryName(TapeSide side);

    // Throws CassetteFileError with the reason shown under "Cannot open cassette"
    // (or NorvoAudioError when the workspace cannot be made).
    static ReadResult read(const std::filesystem::path& file, const Progress& progress = {},
                           const MediaFactory& makeMedia = {});
    // The same for a container held in memory.
    static ReadResult read(const FileData& container, const Progress& progress = {},
                           const MediaFactory& makeMedia = {});

    // Writes a temporary file beside the target and puts it in the target's place only
    // when it is complete; on any failure the target is untouched. Audio that has to be
    // encoded is staged beside the target as well, so only the target's disk needs room.
    // The written manifest's modification date is when the write began; a document whose
    // manifest is over the limit is refused before any audio is encoded or anything is
    // written. Afterwards the sides not recorded to during the write are clean. Throws
    // CassetteFileError or NorvoAudioError.
    static void write(const CassetteDocument& document, TapeMedia& media, const std::filesystem::path& file,
                      const Progress& progress = {}, const Clock& clock = SystemClock::shared());
};

}  // namespace norvo
