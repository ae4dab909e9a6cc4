#include "Radio/StationText.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>

namespace norvo {

namespace {

// True when `test` holds for some code point; a malformed sequence reads as -1.
template <class Test>
bool anyCodePoint(std::string_view text, Test&& test) {
    const auto* data = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t index = 0;
    while (index < length) {
        UChar32 c;
        U8_NEXT(data, index, length, c);
        if (test(c)) return true;
    }
    return false;
}

}  // namespace

bool StationText::isValidUTF8(std::string_view bytes) {
    return !anyCodePoint(bytes, [](UChar32 c) { return c < 0; });
}

std::string StationText::utf8OrLatin1(std::string_view bytes) {
    if (isValidUTF8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

bool StationText::containsWhitespaceOrControl(std::string_view utf8) {
    return anyCodePoint(utf8, [](UChar32 c) { return c < 0 || u_isUWhiteSpace(c) || u_iscntrl(c) || c == 0x200B; });
}

std::string StationText::asciiLowercased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

std::string_view StationText::trimmingSpacesAndTabs(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace norvo
