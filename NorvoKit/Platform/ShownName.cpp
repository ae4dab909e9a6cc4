#include "Platform/ShownName.hpp"

#include <cstdio>

namespace norvo {

namespace {

constexpr char32_t invalidCodePoint = 0xFFFFFFFF;
constexpr std::string_view replacement = "\uFFFD";

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

// Controls, the characters that steer bidirectional text, and the separators that end a
// line: invisible, and able to break or reorder what is shown around the name.
bool isInvisibleControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F ||
           code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// What an escape stands for: a stray byte that is no UTF-8, or a whole character.
enum class Escaped { byte, character };

// Walks the name one character at a time: `token` gets the bytes of a character that can
// be shown as it is, `escape` a character (or a stray byte) that cannot, with its code.
template <typename Shown, typename Escape>
void walk(std::string_view bytes, Shown&& token, Escape&& escape) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            if (isInvisibleControl(byte)) escape(Escaped::byte, byte);
            else token(bytes.substr(i, 1));
            ++i;
            continue;
        }
        // One character: a byte and the UTF-8 continuation bytes after it.
        std::size_t end = i + 1;
        while (end < bytes.size() && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) ++end;
        const char32_t code = codePoint(bytes.substr(i, end - i));
        if (code == invalidCodePoint) {
            escape(Escaped::byte, byte);
            ++i;  // a stray byte alone; what follows is read afresh
        } else if (isInvisibleControl(code)) {
            escape(Escaped::character, code);
            i = end;
        } else {
            token(bytes.substr(i, end - i));
            i = end;
        }
    }
}

}  // namespace

std::string ShownName::inSentence(std::string_view bytes, std::size_t limit) {
    std::string out;
    std::size_t characters = 0;
    bool cut = false;
    std::size_t consumed = 0;
    auto add = [&](std::string_view token, std::size_t tokenCharacters, std::size_t tokenBytes) {
        if (cut) return;
        consumed += tokenBytes;
        const bool last = consumed >= bytes.size();
        // Keep room for the ellipsis unless this token finishes the name.
        if (characters + tokenCharacters + (last ? 0 : 1) > limit) {
            out += "\u2026";
            cut = true;
            return;
        }
        out += token;
        characters += tokenCharacters;
    };
    walk(
        bytes, [&](std::string_view character) { add(character, 1, character.size()); },
        [&](Escaped what, char32_t code) {
            char text[12];
            if (what == Escaped::character) std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
            else std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned>(code));
            const std::string_view escaped(text);
            // The bytes this escape stands for: one stray byte, or the whole character.
            std::size_t length = 1;
            if (what == Escaped::character) length = code < 0x800 ? 2 : 3;
            add(escaped, escaped.size(), length);
        });
    return out;
}

std::string ShownName::drawable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    walk(
        bytes, [&](std::string_view character) { out += character; }, [&](Escaped, char32_t) { out += replacement; });
    return out;
}

}  // namespace norvo
