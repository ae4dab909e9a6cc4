#include "Radio/IcyMetadata.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstring>
#include <string_view>

#include "Radio/StationText.hpp"

namespace norvo {

namespace {

bool isLetterOrNumber(UChar32 c) {
    if (u_isalpha(c)) return true;
    const int8_t type = u_charType(c);
    return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

bool isWhitespace(UChar32 c) { return u_isUWhiteSpace(c) || (c >= 0x09 && c <= 0x0D) || c == 0x85; }

}  // namespace

std::optional<std::string> IcyMetadata::title(const uint8_t* block, std::size_t count) {
    const void* zero = count > 0 ? std::memchr(block, 0, count) : nullptr;
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - block) : count;
    std::string_view raw(reinterpret_cast<const char*>(block), length);
    const std::string text = StationText::utf8OrLatin1(raw);

    static constexpr std::string_view opening = "StreamTitle='";
    const std::size_t start = text.find(opening);
    if (start == std::string::npos) return std::nullopt;
    std::string_view rest = std::string_view(text).substr(start + opening.size());
    std::string_view rawTitle;
    if (const std::size_t end = rest.find("';"); end != std::string_view::npos) {
        rawTitle = rest.substr(0, end);
    } else {
        rawTitle = rest;
        if (rawTitle.ends_with('\'')) rawTitle.remove_suffix(1);
    }

    // Collapse every run of white space to one space and drop it at both ends.
    std::string title;
    bool hasLetterOrNumber = false;
    bool pendingSpace = false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(rawTitle.data());
    const auto size = static_cast<int32_t>(rawTitle.size());
    int32_t index = 0;
    while (index < size) {
        const int32_t begin = index;
        UChar32 c;
        U8_NEXT(bytes, index, size, c);
        if (isWhitespace(c)) {
            pendingSpace = !title.empty();
            continue;
        }
        if (pendingSpace) title += ' ';
        pendingSpace = false;
        title.append(rawTitle.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(index - begin)));
        hasLetterOrNumber = hasLetterOrNumber || isLetterOrNumber(c);
    }
    if (!hasLetterOrNumber) return std::nullopt;
    return title;
}

}  // namespace norvo
