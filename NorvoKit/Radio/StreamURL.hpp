#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

// The few URL operations the receiver needs on station and playlist addresses.
struct StreamURL {
    // The path of an absolute URL (no query or fragment); "" when it has none.
    static std::string path(std::string_view url);
    // The last path component's extension, lower-cased ("m3u8" for ".../live.M3U8?x=1").
    static std::string pathExtension(std::string_view url);
    // The scheme, lower-cased, or none when the text does not start with one.
    static std::optional<std::string> scheme(std::string_view url);
    // `reference` resolved against `base` as a browser would (an absolute reference
    // stands alone); none when either cannot be parsed.
    static std::optional<std::string> resolve(std::string_view reference, std::string_view base);
};

}  // namespace norvo
