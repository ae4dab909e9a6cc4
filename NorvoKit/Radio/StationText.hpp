#pragma once
#include <string>
#include <string_view>

namespace norvo {

// Text as stations send it: headers, playlists and titles in no declared encoding.
struct StationText {
    static bool isValidUTF8(std::string_view bytes);
    // UTF-8 when the bytes are valid UTF-8, else ISO Latin 1 (which any bytes are).
    static std::string utf8OrLatin1(std::string_view bytes);
    // True for any Unicode white space or control character (and for broken UTF-8).
    static bool containsWhitespaceOrControl(std::string_view utf8);
    static std::string asciiLowercased(std::string_view text);
    // Spaces and tabs only: line breaks are not blanks here.
    static std::string_view trimmingSpacesAndTabs(std::string_view text);
};

}  // namespace norvo
