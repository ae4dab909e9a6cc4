#pragma once
#include <optional>
#include <string_view>
#include <vector>

#include "Cassette/CassetteStyle.hpp"

namespace norvo {

// The eight built-in looks, in catalogue order; built once.
struct CassetteStyleCatalog {
    static const std::vector<CassetteStyle>& all();
    // The first style; a new cassette wears its design.
    static const CassetteStyle& defaultStyle();
    static std::optional<CassetteStyle> style(std::string_view id);
};

}  // namespace norvo
