#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "Platform/Uuid.hpp"

namespace norvo {

// One entry of the player's track list.
struct SourceTrack {
    Uuid id;
    std::filesystem::path url;
    std::string title;                      // the file name without its extension, shown verbatim
    std::optional<int64_t> durationFrames;  // absent until the file has been measured

    bool operator==(const SourceTrack&) const = default;
};

}  // namespace norvo
