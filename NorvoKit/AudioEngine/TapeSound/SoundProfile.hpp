#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "AudioEngine/TapeSound/SoundIssue.hpp"
#include "AudioEngine/TapeSound/TapeSoundSettings.hpp"
#include "Platform/JSONValue.hpp"

namespace norvo {

// A tape-sound profile ("NORVO-Sound" JSON). `document` is the object as read, keys the
// reader does not interpret included, so an export writes back everything it was given.
class SoundProfile {
public:
    struct ParseResult;

    static constexpr std::size_t maximumSize = 65536;
    static constexpr std::size_t maximumIDLength = 128;  // Unicode code points
    static constexpr std::string_view format = "NORVO-Sound";
    static constexpr std::string_view formatVersion = "1.0";
    static constexpr std::string_view fileExtension = "nvsound";
    static constexpr std::string_view mimeType = "application/vnd.norvo.sound+json";
    static constexpr std::string_view typeIdentifier = "org.norvo.sound";

    // The bytes of a profile file, at most maximumSize + 1 of them (enough for parse() to
    // refuse it). Throws SoundProfileError when the file cannot be found, is not a
    // regular file (a FIFO would never end) or cannot be read.
    static std::string readFile(const std::filesystem::path& file);
    // Reads a profile file's bytes. Throws SoundProfileError for the first error found;
    // values that were ignored or clamped come back as warnings, in key order.
    static ParseResult parse(std::string_view data);
    // The same checks on a document already read as JSON (the stored library, built-ins).
    static ParseResult parseDocument(const JSONValue& document);

    // The document, pretty-printed with sorted keys and unescaped slashes, then a line feed.
    std::string encodedData() const;
    // The name reduced to letters, digits, spaces, "_" and "-", then ".nvsound".
    std::string suggestedFileName() const;

    std::string id;
    std::string name;
    JSONValue document;
    TapeSoundSettings settings;

    bool operator==(const SoundProfile&) const = default;
};

struct SoundProfile::ParseResult {
    SoundProfile profile;
    std::vector<SoundIssue> warnings;
};

}  // namespace norvo
