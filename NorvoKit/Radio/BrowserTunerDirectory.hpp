#pragma once

#include "Radio/TunerDirectory.hpp"

namespace norvo {

// The tuner's view of the real directory client.
class BrowserTunerDirectory final : public TunerDirectory {
public:
    explicit BrowserTunerDirectory(RadioBrowserClient& client) : client_(client) {}

    void stations(const Query& query, int limit,
                  std::function<void(std::optional<std::vector<RadioStation>>)> completion) override;
    void countries(std::function<void(std::optional<std::vector<Country>>)> completion) override;
    void countClick(const RadioStation& station) override;

private:
    RadioBrowserClient& client_;
};

}  // namespace norvo
