#include "Radio/BrowserTunerDirectory.hpp"

namespace norvo {

void BrowserTunerDirectory::stations(const Query& query, int limit,
                                     std::function<void(std::optional<std::vector<RadioStation>>)> completion) {
    client_.stations(query, limit, [completion = std::move(completion)](auto result) {
        if (result) completion(std::move(result).value());
        else completion(std::nullopt);
    });
}

void BrowserTunerDirectory::countries(std::function<void(std::optional<std::vector<Country>>)> completion) {
    client_.countries([completion = std::move(completion)](auto result) {
        if (result) completion(std::move(result).value());
        else completion(std::nullopt);
    });
}

void BrowserTunerDirectory::countClick(const RadioStation& station) { client_.countClick(station); }

}  // namespace norvo
