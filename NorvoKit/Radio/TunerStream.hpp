#pragma once
#include <memory>
#include <string>

#include "AudioEngine/RadioSignal.hpp"
#include "Radio/RadioStream.hpp"

namespace norvo {

// The tuner's view of one open station stream: started once, polled every tick,
// stopped when the station changes. Its signal is what the audio core pulls.
class TunerStream {
public:
    virtual ~TunerStream() = default;

    virtual void start() = 0;
    virtual void stop() = 0;
    virtual RadioStream::Status currentStatus() = 0;
    virtual RadioSignal& signal() = 0;
};

}  // namespace norvo
