// Reads arbitrary text as a playlist received from an arbitrary URL. Whatever it finds
// must be an http or https URL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Radio/StationText.hpp"
#include "Radio/StreamPlaylist.hpp"
#include "Radio/StreamURL.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Up to the first NUL: the base URL; the rest: the playlist body.
    const std::size_t split = input.find('\0');
    const std::string base =
        split == std::string_view::npos ? "http://example.org/radio/listen.pls" : std::string(input.substr(0, split));
    const std::string text =
        norvo::StationText::utf8OrLatin1(split == std::string_view::npos ? input : input.substr(split + 1));

    (void)norvo::StreamPlaylist::isHLS(text.substr(0, 40), base);
    (void)norvo::StreamPlaylist::isPlaylist(std::nullopt, base);
    if (const auto found = norvo::StreamPlaylist::firstStreamURL(text, base)) {
        const auto scheme = norvo::StreamURL::scheme(*found);
        if (scheme != "http" && scheme != "https") std::abort();
        for (unsigned char c : *found)
            if (c <= 0x20 || c == 0x7F) std::abort();
    }
    return 0;
}
