#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/WriteProtect.hpp"
#include "Platform/Clock.hpp"
#include "Platform/JSONValue.hpp"

namespace norvo {

// One entry of a cassette's history: "created", "recorded", "write_protect_changed",
// or any other type kept from an opened file.
struct HistoryEvent {
    std::string type;
    Date timestamp{};
    std::optional<std::string> app;
    std::optional<TapeSide> side;
    std::optional<WriteProtect> state;
    std::optional<int64_t> startFrame;
    std::optional<int64_t> endFrame;
    std::optional<std::string> source;
    std::optional<std::string> sourceFormat;
    // Keys read from a file that this version does not know, written back as they were.
    JSONValue::Object extra;

    bool operator==(const HistoryEvent&) const = default;
};

}  // namespace norvo
