#include "Cassette/WriteProtect.hpp"

#include "Cassette/RawValueTable.hpp"

namespace norvo {

namespace {
constexpr RawValueTable<WriteProtect, 3> rawValues{{"intact", "broken", "taped_over"}};
}

std::string_view rawValue(WriteProtect state) { return rawValues.name(state); }

std::optional<WriteProtect> writeProtectFromRaw(std::string_view raw) { return rawValues.find(raw); }

}  // namespace norvo
