#pragma once
#include <array>
#include <optional>
#include <string_view>

namespace norvo {

// The handwriting of a label or J-card; the raw value is the case name.
enum class FontRole { marker, pen, typewriter, sans, serif, stencil };

inline constexpr std::array<FontRole, 6> allFontRoles{FontRole::marker, FontRole::pen,   FontRole::typewriter,
                                                      FontRole::sans,   FontRole::serif, FontRole::stencil};

std::string_view rawValue(FontRole role);
std::optional<FontRole> fontRoleFromRaw(std::string_view raw);

}  // namespace norvo
