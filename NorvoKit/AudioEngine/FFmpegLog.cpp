#include "AudioEngine/FFmpegLog.hpp"

#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace norvo {

void FFmpegLog::quiet() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

}  // namespace norvo
