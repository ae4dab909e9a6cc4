#pragma once
#include <cstdint>
#include <string>

#include "Platform/JSONValue.hpp"

namespace norvo {

// A point of interest on a side (a track start, a title change of the radio).
struct TrackMarker {
    int64_t frame = 0;  // from the start of the side, 44100 per second
    std::string title;
    std::string kind;
    // Keys of a marker read from a file that this version does not know, written back as they were.
    JSONValue::Object extra;

    bool operator==(const TrackMarker&) const = default;
};

}  // namespace norvo
