#include "Cassette/CassetteFileError.hpp"

#include <cstdio>

namespace norvo {

namespace {

constexpr char32_t invalidCodePoint = 0xFFFFFFFF;

// The code point of one UTF-8 sequence, or invalidCodePoint when it is not well formed.
char32_t codePoint(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) return lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return invalidCodePoint;
    }
    if (bytes.size() != length) return invalidCodePoint;
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(bytes[k]) & 0x3F);
    static constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return invalidCodePoint;
    return code;
}

// C1 controls and the characters that steer bidirectional text.
bool isInvisibleControl(char32_t code) {
    return (code >= 0x80 && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

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

CassetteFileError CassetteFileError::notFound() { return {Kind::unreadable, "The cassette file cannot be found."}; }

CassetteFileError CassetteFileError::notRegularFile() {
    return {Kind::unreadable, "The cassette is not a regular file."};
}

CassetteFileError CassetteFileError::noSpace(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    return {Kind::noSpace, "There is no space left in \u201C" + quotedPath(name) + "\u201D."};
}

std::string CassetteFileError::quotedPath(std::string_view path, std::size_t limit) {
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < path.size();) {
        const auto byte = static_cast<unsigned char>(path[i]);
        std::string token;
        bool escaped = false;
        char escape[12];
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            token = escape;
            escaped = true;
            ++i;
        } else {
            // One character: a byte and the UTF-8 continuation bytes after it.
            std::size_t end = i + 1;
            while (end < path.size() && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) ++end;
            const char32_t code = codePoint(path.substr(i, end - i));
            if (code == invalidCodePoint) {
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                token = escape;
                escaped = true;
                ++i;  // a stray byte alone; what follows is read afresh
            } else if (isInvisibleControl(code)) {
                // Invisible, and able to reorder the sentence around the path.
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
                token = escape;
                escaped = true;
                i = end;
            } else {
                token.assign(path.substr(i, end - i));
                i = end;
            }
        }
        const std::size_t tokenCharacters = escaped ? token.size() : 1;
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
