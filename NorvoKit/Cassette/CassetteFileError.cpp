#include "Cassette/CassetteFileError.hpp"

#include <cstdio>

namespace norvo {

CassetteFileError CassetteFileError::notCassette() {
    return {Kind::notCassette, "This file is not an NORVO cassette."};
}

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
    return {Kind::missingEntry, "The cassette is missing \u201C" + quotedPath(path) + "\u201D."};
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

std::string CassetteFileError::quotedPath(std::string_view path, std::size_t limit) {
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < path.size();) {
        const auto byte = static_cast<unsigned char>(path[i]);
        std::string token;
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            token = escape;
            ++i;
        } else {
            // One character: a byte and the UTF-8 continuation bytes after it.
            std::size_t end = i + 1;
            while (end < path.size() && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) ++end;
            token.assign(path.substr(i, end - i));
            i = end;
        }
        const std::size_t tokenCharacters = byte < 0x20 || byte == 0x7F ? token.size() : 1;
        const bool last = i >= path.size();
        // Keep room for the ellipsis unless this token finishes the path.
        if (characters + tokenCharacters + (last ? 0 : 1) > limit) {
            out += "\u2026";
            return out;
        }
        out += token;
        characters += tokenCharacters;
    }
    return out;
}

}  // namespace norvo
