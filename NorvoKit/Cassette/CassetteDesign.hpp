#pragma once
#include <string>

#include "Cassette/FontRole.hpp"
#include "Cassette/LabelStyle.hpp"
#include "Cassette/RGBAColor.hpp"

namespace norvo {

// The look of a cassette: shell, label paper, lettering.
struct CassetteDesign {
    std::string styleID;  // the built-in style it came from
    RGBAColor shellColor;
    bool shellTransparent = false;
    LabelStyle labelStyle = LabelStyle::ruled;
    RGBAColor labelColor{1, 1, 1, 1};  // the label paper
    RGBAColor inkColor;                // the lettering
    RGBAColor accentColor;
    FontRole labelFont = FontRole::marker;

    bool operator==(const CassetteDesign&) const = default;
};

}  // namespace norvo
