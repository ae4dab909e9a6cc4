#pragma once
#include <cstdint>

#include <QString>

namespace norvo {

// A frame count at 44100 frames per second as "m:ss" below an hour, else "h:mm:ss".
// Whole seconds, truncated toward zero (negative counts give negative parts).
QString formatTapeTime(int64_t frames);

}  // namespace norvo
