#pragma once
#include <string>

#include "AudioEngine/JSONValue.hpp"

namespace norvo {

// Placeholder until the profile format lands: id, name and the document as read.
class SoundProfile {
public:
    std::string id;
    std::string name;
    JSONValue document;

    bool operator==(const SoundProfile&) const = default;
};

}  // namespace norvo
