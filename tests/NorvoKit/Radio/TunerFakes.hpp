#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Radio/TunerDirectory.hpp"
#include "Radio/TunerStreamFactory.hpp"

namespace norvo::test {

// A directory whose answers the test gives, in the order the requests came.
class FakeTunerDirectory final : public TunerDirectory {
public:
    struct StationRequest {
        Query query;
        int limit;
        std::function<void(std::optional<std::vector<RadioStation>>)> completion;
    };

    void stations(const Query& query, int limit,
                  std::function<void(std::optional<std::vector<RadioStation>>)> completion) override {
        stationRequests.push_back({query, limit, std::move(completion)});
    }
    void countries(std::function<void(std::optional<std::vector<Country>>)> completion) override {
        countryRequests.push_back(std::move(completion));
    }
    void countClick(const RadioStation& station) override { clicks.push_back(station.id); }

    // Answers the oldest open station request.
    void answerStations(std::optional<std::vector<RadioStation>> result) {
        auto request = std::move(stationRequests.front());
        stationRequests.erase(stationRequests.begin());
        request.completion(std::move(result));
    }

    std::vector<StationRequest> stationRequests;
    std::vector<std::function<void(std::optional<std::vector<Country>>)>> countryRequests;
    std::vector<std::string> clicks;
};

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
