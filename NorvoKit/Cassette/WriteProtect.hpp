#pragma once
#include <array>
#include <optional>
#include <string_view>

namespace norvo {

// The record tab of a side. Only a broken tab protects the side; a tab taped over
// makes it writable again, as on a real cassette.
enum class WriteProtect { intact, broken, tapedOver };

inline constexpr std::array<WriteProtect, 3> allWriteProtects{WriteProtect::intact, WriteProtect::broken,
                                                              WriteProtect::tapedOver};

// "intact", "broken", "taped_over": the manifest's spelling.
std::string_view rawValue(WriteProtect state);
std::optional<WriteProtect> writeProtectFromRaw(std::string_view raw);

inline bool protectsSide(WriteProtect state) { return state == WriteProtect::broken; }

}  // namespace norvo
