#pragma once
#include <cstdint>

#include "AudioEngine/TapeSide.hpp"

namespace norvo {

// One continuous recording run of the core; serial grows with every new run.
struct RecordingPass {
    int serial = 0;
    TapeSide side = TapeSide::a;
    int64_t start = 0;
    int64_t end = 0;

    bool operator==(const RecordingPass&) const = default;
};

}  // namespace norvo
