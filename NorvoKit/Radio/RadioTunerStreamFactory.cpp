#include "Radio/RadioTunerStreamFactory.hpp"

namespace norvo {

namespace {

class RadioTunerStream final : public TunerStream {
public:
    RadioTunerStream(const std::string& url, const std::string& userAgent, double prebufferSeconds,
                     const RadioStream::Options& options)
        : stream_(url, userAgent, prebufferSeconds, options) {}

    void start() override { stream_.start(); }
    void stop() override { stream_.stop(); }
    RadioStream::Status currentStatus() override { return stream_.currentStatus(); }
    RadioSignal& signal() override { return stream_; }

private:
    RadioStream stream_;
};

}  // namespace

RadioTunerStreamFactory::RadioTunerStreamFactory() {
    // One radio queue for every station the tuner opens, instead of a thread per stream.
    options_.loop = std::make_shared<HttpLoop>(RadioStream::queueLabel);
}

RadioTunerStreamFactory::RadioTunerStreamFactory(RadioStream::Options options) : options_(std::move(options)) {}

std::shared_ptr<TunerStream> RadioTunerStreamFactory::make(const std::string& url, const std::string& userAgent,
                                                           double prebufferSeconds) {
    return std::make_shared<RadioTunerStream>(url, userAgent, prebufferSeconds, options_);
}

}  // namespace norvo
