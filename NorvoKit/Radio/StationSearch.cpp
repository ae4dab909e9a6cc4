#include "Radio/StationSearch.hpp"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "Radio/StationNameKey.hpp"

namespace norvo {

namespace {

int64_t clampedLimit(int64_t limit) { return std::clamp<int64_t>(limit, 1, std::numeric_limits<int64_t>::max() / 2); }

}  // namespace

std::vector<RadioBrowserClient::QueryItem> StationSearch::queryItems(const RadioBrowserClient::Query& query,
                                                                     int64_t limit) {
    using Kind = RadioBrowserClient::Query::Kind;
    std::vector<RadioBrowserClient::QueryItem> items{
        {"order", std::string(order)},
        {"reverse", "true"},
        {"hidebroken", "true"},
        {"limit", std::to_string(clampedLimit(limit) * 2)},
    };
    switch (query.kind) {
    case Kind::country: items.emplace_back("countrycode", query.text); break;
    case Kind::genre:
        items.emplace_back("tag", query.text);
        items.emplace_back("tagExact", "true");
        break;
    case Kind::search: items.emplace_back("name", query.text); break;
    case Kind::top: break;
    }
    return items;
}

RadioBrowserClient::Result<std::vector<DirectoryStation>> StationSearch::rowsFromReply(std::string_view body) {
    using Error = RadioBrowserClient::Error;
    auto parsed = JSONValue::parse(body);
    if (!parsed) return Error::decoding("The directory's reply is not valid JSON.");
    const JSONValue::Array* array = parsed->array();
    if (!array) return Error::decoding("The directory's reply is not a list of stations.");
    std::vector<DirectoryStation> rows;
    rows.reserve(array->size());
    // One odd row must not cost the whole band.
    for (const JSONValue& value : *array)
        if (auto row = DirectoryStation::fromJSON(value)) rows.push_back(std::move(*row));
    return rows;
}

std::vector<RadioStation> StationSearch::makeStations(const std::vector<DirectoryStation>& rows, int64_t limit) {
    auto wanted = static_cast<std::size_t>(clampedLimit(limit));
    std::vector<RadioStation> stations;
    std::unordered_set<std::string> seenAddresses;
    std::unordered_set<std::string> seenKeys;
    for (const DirectoryStation& row : rows) {
        auto station = RadioStation::fromDirectory(row);
        if (!station) continue;
        if (!seenAddresses.insert(station->streamURL.absoluteString()).second) continue;
        if (!seenKeys.insert(StationNameKey::of(station->name)).second) continue;
        stations.push_back(std::move(*station));
        if (stations.size() == wanted) break;
    }
    return stations;
}

}  // namespace norvo
