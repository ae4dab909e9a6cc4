#pragma once
#include <string>
#include <utility>

namespace norvo {

// A problem found in a sound profile: where it is (a dotted key path such as
// "tape.saturation.drive_db", empty for the file as a whole) and what the user is told.
struct SoundIssue {
    enum class Severity { error, warning };

    Severity severity = Severity::error;
    std::string path;
    std::string message;

    static SoundIssue error(std::string path, std::string message) {
        return {Severity::error, std::move(path), std::move(message)};
    }
    static SoundIssue warning(std::string path, std::string message) {
        return {Severity::warning, std::move(path), std::move(message)};
    }

    bool operator==(const SoundIssue&) const = default;
};

}  // namespace norvo
