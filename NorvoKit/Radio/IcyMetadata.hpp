#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace norvo {

// Reads the station's title out of one ICY metadata block (StreamTitle='…';).
struct IcyMetadata {
    // The title, with its white space collapsed; none when the block has no title entry
    // or the title holds no letter and no number. Text that is not UTF-8 is read as
    // ISO Latin 1.
    static std::optional<std::string> title(const uint8_t* block, std::size_t count);
};

}  // namespace norvo
