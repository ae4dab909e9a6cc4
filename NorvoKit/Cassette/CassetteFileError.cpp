#include "Cassette/CassetteFileError.hpp"

#include <cerrno>

#include "Platform/ShownName.hpp"

namespace norvo {

CassetteFileError CassetteFileError::notCassette() { return {Kind::notCassette, "This file is not a NORVO cassette."}; }

CassetteFileError CassetteFileError::noManifest() { return {Kind::noManifest, "The cassette has no manifest."}; }

CassetteFileError CassetteFileError::manifestTooLarge() {
    return {Kind::manifestTooLarge, "The cassette manifest is larger than 1 MiB."};
}

CassetteFileError CassetteFileError::manifestDamaged() {
    return {Kind::manifestDamaged, "The cassette manifest is damaged."};
}

CassetteFileError CassetteFileError::newerVersion() {
    return {Kind::newerVersion, "This cassette needs a newer Norvo Studio."};
}

CassetteFileError CassetteFileError::missingEntry(std::string_view path) {
    return {Kind::missingEntry, "The cassette is missing \u201C" + ShownName::inSentence(path) + "\u201D."};
}

CassetteFileError CassetteFileError::tooLarge() { return {Kind::tooLarge, "The cassette is too large."}; }

CassetteFileError CassetteFileError::undecodableAudio(TapeSide side, const std::string& detail) {
    return {Kind::undecodableAudio, "Side " + letter(side) + " audio cannot be decoded: " + detail};
}

CassetteFileError CassetteFileError::damaged() { return {Kind::damaged, "The cassette file is damaged."}; }

CassetteFileError CassetteFileError::writeFailed(const std::string& detail) {
    return {Kind::writeFailed, "The cassette could not be written: " + detail};
}

CassetteFileError CassetteFileError::unreadable(const std::string& detail) {
    return {Kind::unreadable, "The cassette file cannot be read: " + detail + "."};
}

CassetteFileError CassetteFileError::notFound() { return {Kind::unreadable, "The cassette file cannot be found."}; }

CassetteFileError CassetteFileError::notRegularFile() {
    return {Kind::unreadable, "The cassette is not a regular file."};
}

CassetteFileError CassetteFileError::noSpace(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    return {Kind::noSpace, "There is no space left in \u201C" + ShownName::inSentence(name) + "\u201D."};
}

bool CassetteFileError::meansNoSpace(int systemError) { return systemError == ENOSPC || systemError == EDQUOT; }

}  // namespace norvo
