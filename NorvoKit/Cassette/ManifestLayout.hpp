#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Cassette/ArtworkRole.hpp"

namespace norvo {

// Where a container keeps what its manifest refers to: each side's recorded length and
// audio entry, the artwork entries by role and the booklet panels in order.
struct ManifestLayout {
    std::array<int64_t, 2> frames{};                  // by TapeSide raw value
    std::array<std::optional<std::string>, 2> audio;  // set exactly when frames > 0
    std::map<ArtworkRole, std::string> artwork;
    std::vector<std::string> booklet;

    bool operator==(const ManifestLayout&) const = default;
};

}  // namespace norvo
