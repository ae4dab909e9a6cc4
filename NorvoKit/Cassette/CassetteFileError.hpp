#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "AudioEngine/TapeSide.hpp"

namespace norvo {

// A cassette file that cannot be read or written; what() is the sentence shown under
// "Cannot open cassette" or "Cannot save cassette".
class CassetteFileError : public std::runtime_error {
public:
    enum class Kind {
        notCassette,
        noManifest,
        manifestTooLarge,
        manifestDamaged,
        newerVersion,
        missingEntry,
        tooLarge,
        undecodableAudio,
        damaged,
        writeFailed,
        unreadable,
        noSpace,
    };

    static CassetteFileError notCassette();
    static CassetteFileError noManifest();
    static CassetteFileError manifestTooLarge();
    static CassetteFileError manifestDamaged();
    static CassetteFileError newerVersion();
    // The path comes from the file: control characters escaped, cut to 200 characters.
    static CassetteFileError missingEntry(std::string_view path);
    static CassetteFileError tooLarge();
    static CassetteFileError undecodableAudio(TapeSide side, const std::string& detail);
    static CassetteFileError damaged();
    static CassetteFileError writeFailed(const std::string& detail);
    // The file itself cannot be opened (no permission); the detail is the system's reason.
    static CassetteFileError unreadable(const std::string& detail);
    // Nothing at the path (kind unreadable).
    static CassetteFileError notFound();
    // A FIFO, a device or a folder at the path (kind unreadable).
    static CassetteFileError notRegularFile();
    // The disk that holds `folder` is full (or the user's quota there is used up).
    static CassetteFileError noSpace(const std::filesystem::path& folder);
    // Whether the system's error number says so (ENOSPC, or EDQUOT for a quota).
    static bool meansNoSpace(int systemError);

    Kind kind() const { return kind_; }

private:
    CassetteFileError(Kind kind, const std::string& sentence) : std::runtime_error(sentence), kind_(kind) {}

    Kind kind_;
};

}  // namespace norvo
