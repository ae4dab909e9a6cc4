#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Radio/TunerDirectory.hpp"

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

}  // namespace norvo::test
