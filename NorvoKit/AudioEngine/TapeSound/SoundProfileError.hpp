#pragma once
#include <stdexcept>

#include "AudioEngine/TapeSound/SoundIssue.hpp"

namespace norvo {

// A profile that cannot be used. what() is the issue's message alone: the sentence the
// user sees; the path stays in `issue` for callers that want to point at the key.
class SoundProfileError : public std::runtime_error {
public:
    explicit SoundProfileError(SoundIssue issue) : std::runtime_error(issue.message), issue(std::move(issue)) {}

    SoundIssue issue;
};

}  // namespace norvo
