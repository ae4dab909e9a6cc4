#pragma once
#include <memory>
#include <string>

#include "Radio/TunerStream.hpp"

namespace norvo {

// Opens streams for the tuner; tests hand it scripted ones.
class TunerStreamFactory {
public:
    virtual ~TunerStreamFactory() = default;
    virtual std::shared_ptr<TunerStream> make(const std::string& url, const std::string& userAgent,
                                              double prebufferSeconds) = 0;
};

}  // namespace norvo
