#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Radio/RadioBrowserClient.hpp"
#include "Radio/RadioStation.hpp"

namespace norvo {

// What the tuner asks of the station directory. Completions may run on any thread;
// nothing (std::nullopt) means the request failed.
class TunerDirectory {
public:
    using Query = RadioBrowserClient::Query;
    using Country = RadioBrowserClient::Country;

    virtual ~TunerDirectory() = default;

    virtual void stations(const Query& query, int limit,
                          std::function<void(std::optional<std::vector<RadioStation>>)> completion) = 0;
    virtual void countries(std::function<void(std::optional<std::vector<Country>>)> completion) = 0;
    // Reports that the station is being listened to; failures are dropped.
    virtual void countClick(const RadioStation& station) = 0;
};

}  // namespace norvo
