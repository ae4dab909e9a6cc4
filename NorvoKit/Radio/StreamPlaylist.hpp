#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

// Recognises HLS and playlist (PLS, M3U) responses and finds the first playable stream
// in a playlist. The receiver asks isHLS first, so a response both would match is HLS.
struct StreamPlaylist {
    // By MIME type (lower-cased, exact), else by the URL path's extension.
    static bool isHLS(const std::optional<std::string>& mimeType, std::string_view url);
    static bool isPlaylist(const std::optional<std::string>& mimeType, std::string_view url);
    // The first http or https entry of a PLS or M3U text, resolved against the URL the
    // playlist came from; none when no line qualifies.
    static std::optional<std::string> firstStreamURL(std::string_view text, std::string_view baseURL);
};

}  // namespace norvo
