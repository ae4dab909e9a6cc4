#include "Cassette/LabelStyle.hpp"

#include "Cassette/RawValueTable.hpp"

namespace norvo {

namespace {
constexpr RawValueTable<LabelStyle, 5> rawValues{{"ruled", "stripes", "kraft", "gradient", "plain"}};
}

std::string_view rawValue(LabelStyle style) { return rawValues.name(style); }

std::optional<LabelStyle> labelStyleFromRaw(std::string_view raw) { return rawValues.find(raw); }

}  // namespace norvo
