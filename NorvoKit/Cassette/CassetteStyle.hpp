#pragma once
#include <string>

#include "Cassette/CassetteDesign.hpp"

namespace norvo {

// A built-in cassette look; its design's styleID is the style's id.
struct CassetteStyle {
    std::string id;
    std::string name;  // shown under the designer's swatch
    CassetteDesign design;

    bool operator==(const CassetteStyle&) const = default;
};

}  // namespace norvo
