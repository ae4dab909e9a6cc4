#pragma once

namespace norvo {

// Left and right peak magnitude; 1 is full scale.
struct StereoLevel {
    float left = 0;
    float right = 0;

    bool operator==(const StereoLevel&) const = default;
};

}  // namespace norvo
