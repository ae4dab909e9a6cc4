#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Clock.hpp"

namespace norvo {

// "2026-12-07T07:54:43Z": UTC, whole seconds.
std::string formatISO8601(Date date);
// Accepts "Z" or a numeric offset and optional fractional seconds.
std::optional<Date> parseISO8601(std::string_view text);
// Drops the fraction of a second, so a date survives a round trip through its text.
Date wholeSeconds(Date date);

}  // namespace norvo
