#pragma once
#include <memory>
#include <string>
#include <vector>

#include "Radio/TunerStreamFactory.hpp"
#include "Support/FakeTunerStream.hpp"

namespace norvo::test {

// Makes fake streams and remembers them, and what the tuner asked for, in order.
class FakeTunerStreamFactory final : public TunerStreamFactory {
public:
    std::shared_ptr<TunerStream> make(const std::string& url, const std::string& userAgent,
                                      double prebufferSeconds) override {
        auto stream = std::make_shared<FakeTunerStream>(url);
        opened.push_back(stream);
        lastUserAgent = userAgent;
        lastPrebuffer = prebufferSeconds;
        return stream;
    }

    std::shared_ptr<FakeTunerStream> last() const { return opened.empty() ? nullptr : opened.back(); }

    std::vector<std::shared_ptr<FakeTunerStream>> opened;
    std::string lastUserAgent;
    double lastPrebuffer = 0;
};

}  // namespace norvo::test
