#pragma once
#include <string>

#include "AudioEngine/RadioSignal.hpp"
#include "Radio/TunerStream.hpp"

namespace norvo::test {

// A stream that never connects: the test sets the status it reports and counts the
// tuner's starts, stops and status reads.
class FakeTunerStream final : public TunerStream, public RadioSignal {
public:
    explicit FakeTunerStream(std::string url) : url(std::move(url)) {}

    void start() override { ++starts; }
    void stop() override { ++stops; }
    RadioStream::Status currentStatus() override {
        ++statusReads;
        return status;
    }
    RadioSignal& signal() override { return *this; }
    int render(int, float*, float*) override { return 0; }

    std::string url;
    RadioStream::Status status;
    int starts = 0;
    int stops = 0;
    int statusReads = 0;
};

}  // namespace norvo::test
