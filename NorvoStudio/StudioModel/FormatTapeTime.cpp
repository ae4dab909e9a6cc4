#include "StudioModel/FormatTapeTime.hpp"

#include "AudioEngine/TapeClock.hpp"

namespace norvo {

QString formatTapeTime(int64_t frames) {
    const auto seconds = static_cast<int64_t>(static_cast<double>(frames) / TapeClock::sampleRate);
    if (seconds < 3600)
        return QString::asprintf("%d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
    return QString::asprintf("%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                             static_cast<int>((seconds % 3600) / 60), static_cast<int>(seconds % 60));
}

}  // namespace norvo
