#pragma once
#include <memory>

#include "Platform/HttpLoop.hpp"
#include "Radio/RadioStream.hpp"
#include "Radio/TunerStreamFactory.hpp"

namespace norvo {

// The tuner's streams over real RadioStreams, all on one radio queue.
class RadioTunerStreamFactory final : public TunerStreamFactory {
public:
    RadioTunerStreamFactory();
    explicit RadioTunerStreamFactory(RadioStream::Options options);

    std::shared_ptr<TunerStream> make(const std::string& url, const std::string& userAgent,
                                      double prebufferSeconds) override;

private:
    RadioStream::Options options_;
};

}  // namespace norvo
