#include "Radio/StreamPlaylist.hpp"

#include <algorithm>
#include <array>

#include "Radio/StationText.hpp"
#include "Radio/StreamURL.hpp"

namespace norvo {

namespace {

template <std::size_t typeCount, std::size_t extensionCount>
bool matches(const std::optional<std::string>& mimeType, std::string_view url,
             const std::array<std::string_view, typeCount>& types,
             const std::array<std::string_view, extensionCount>& extensions) {
    const std::string type = StationText::asciiLowercased(mimeType.value_or(""));
    if (std::find(types.begin(), types.end(), type) != types.end()) return true;
    const std::string extension = StreamURL::pathExtension(url);
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

// Length of the line break at `text[i]`, 0 when there is none: LF, VT, FF, CR, NEL,
// LINE SEPARATOR and PARAGRAPH SEPARATOR.
std::size_t lineBreakLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x0A && c <= 0x0D) return 1;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9))
        return 3;
    return 0;
}

std::optional<std::string> candidateOf(std::string_view line) {
    if (line.empty() || line.front() == '#' || line.front() == '[') return std::nullopt;
    const auto equals = line.find('=');
    if (StationText::asciiLowercased(line.substr(0, 4)) == "file" && equals != std::string_view::npos)
        return std::string(StationText::trimmingSpacesAndTabs(line.substr(equals + 1)));
    if (equals != std::string_view::npos && line.find("://") == std::string_view::npos) return std::nullopt;
    return std::string(line);
}

}  // namespace

bool StreamPlaylist::isHLS(const std::optional<std::string>& mimeType, std::string_view url) {
    static constexpr std::array<std::string_view, 2> types = {"application/vnd.apple.mpegurl", "application/x-mpegurl"};
    static constexpr std::array<std::string_view, 1> extensions = {"m3u8"};
    return matches(mimeType, url, types, extensions);
}

bool StreamPlaylist::isPlaylist(const std::optional<std::string>& mimeType, std::string_view url) {
    static constexpr std::array<std::string_view, 5> types = {"audio/x-mpegurl", "audio/mpegurl", "audio/x-scpls",
                                                              "application/pls+xml", "audio/scpls"};
    static constexpr std::array<std::string_view, 2> extensions = {"m3u", "pls"};
    return matches(mimeType, url, types, extensions);
}

std::optional<std::string> StreamPlaylist::firstStreamURL(std::string_view text, std::string_view baseURL) {
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = lineStart;
        std::size_t breakLength = 0;
        while (lineEnd < text.size() && (breakLength = lineBreakLength(text, lineEnd)) == 0) ++lineEnd;
        const std::string_view line = StationText::trimmingSpacesAndTabs(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + std::max<std::size_t>(breakLength, 1);

        const auto candidate = candidateOf(line);
        if (!candidate || candidate->empty() || StationText::containsWhitespaceOrControl(*candidate)) continue;
        const auto resolved = StreamURL::resolve(*candidate, baseURL);
        if (!resolved) continue;
        const auto scheme = StreamURL::scheme(*resolved);
        if (scheme == "http" || scheme == "https") return resolved;
    }
    return std::nullopt;
}

}  // namespace norvo
