#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "Platform/JSONValue.hpp"

namespace norvo {

// One row of the directory's station list, as loose as the directory sends it. The
// fields carry the names of their JSON keys.
struct DirectoryStation {
    std::string stationuuid;
    std::string name;
    std::string url;
    std::optional<std::string> url_resolved;
    std::optional<std::string> homepage;
    std::optional<std::string> countrycode;
    std::optional<std::string> tags;  // comma-separated
    std::optional<std::string> codec;
    std::optional<int64_t> bitrate;
    std::optional<int64_t> hls;
    std::optional<int64_t> lastcheckok;

    // Nothing when a required key is missing or any listed key holds the wrong JSON
    // type; an optional key that is absent or null reads as none. Other keys are ignored.
    static std::optional<DirectoryStation> fromJSON(const JSONValue& row);

    bool operator==(const DirectoryStation&) const = default;
};

}  // namespace norvo
