#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/JSONValue.hpp"
#include "Platform/Url.hpp"
#include "Radio/DirectoryStation.hpp"

namespace norvo {

// A receivable station: what fills a band, a preset and the tuned-station setting.
// Identified by `id`; equal when every field is.
struct RadioStation {
    std::string id;
    std::string name;
    Url streamURL;
    std::optional<Url> homepage;
    std::string countryCode;
    std::vector<std::string> tags;
    std::string codec;
    int64_t bitrate = 0;  // kbit/s, 0 when unknown

    // "MP3", "AAC" and "AAC+": the formats the receiver decodes.
    static const std::set<std::string>& acceptedCodecs();
    static constexpr std::size_t maximumTags = 10;

    // Cleans a directory row into a station; nothing for a row the tuner cannot play
    // (other codecs, HLS, failed check, no http(s) address, no name).
    static std::optional<RadioStation> fromDirectory(const DirectoryStation& row);

    // "MP3 128k", or the codec alone when the bit rate is unknown.
    std::string formatLabel() const;

    // The stored form: "id", "name", "streamURL", "homepage" (left out when none),
    // "countryCode", "tags", "codec", "bitrate".
    JSONValue jsonValue() const;
    // Nothing for a missing or mistyped key, or an address that is not a URL.
    static std::optional<RadioStation> fromJSON(const JSONValue& value);

    bool operator==(const RadioStation&) const = default;
};

}  // namespace norvo

template <>
struct std::hash<norvo::RadioStation> {
    std::size_t operator()(const norvo::RadioStation& station) const noexcept;
};
