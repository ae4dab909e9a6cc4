#include "Cassette/FontRole.hpp"

#include "Cassette/RawValueTable.hpp"

namespace norvo {

namespace {
constexpr RawValueTable<FontRole, 6> rawValues{{"marker", "pen", "typewriter", "sans", "serif", "stencil"}};
}

std::string_view rawValue(FontRole role) { return rawValues.name(role); }

std::optional<FontRole> fontRoleFromRaw(std::string_view raw) { return rawValues.find(raw); }

}  // namespace norvo
