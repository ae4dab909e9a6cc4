#pragma once
#include <array>
#include <optional>
#include <string_view>

namespace norvo {

// How the drawn label is decorated; the raw value is the case name.
enum class LabelStyle { ruled, stripes, kraft, gradient, plain };

inline constexpr std::array<LabelStyle, 5> allLabelStyles{LabelStyle::ruled, LabelStyle::stripes, LabelStyle::kraft,
                                                          LabelStyle::gradient, LabelStyle::plain};

std::string_view rawValue(LabelStyle style);
std::optional<LabelStyle> labelStyleFromRaw(std::string_view raw);

}  // namespace norvo
