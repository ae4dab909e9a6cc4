#pragma once
#include <string>
#include <string_view>

namespace norvo {

// The key under which two station names count as the same station in a search:
// lower case, without diacritics, letters and digits only, and without a leading or
// trailing word "radio" ("Radio Paradise" and "paradise radio" are both "paradise").
struct StationNameKey {
    static std::string of(std::string_view name);
};

}  // namespace norvo
