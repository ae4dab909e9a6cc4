// Feeds arbitrary bytes to the directory's JSON readers: the station reply and its
// conversion, the stored station, the stored band query, the server list and the
// country list. Each reader either rejects the bytes or yields values that keep the
// promises the tuner relies on; any breach aborts the run.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "Platform/Locale.hpp"
#include "Radio/CountryList.hpp"
#include "Radio/DirectoryServerList.hpp"
#include "Radio/RadioBrowserClient.hpp"
#include "Radio/RadioStation.hpp"
#include "Radio/StationNameKey.hpp"
#include "Radio/StationSearch.hpp"

namespace {

using norvo::RadioBrowserClient;
using norvo::RadioStation;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void checkStation(const RadioStation& station) {
    check(RadioStation::acceptedCodecs().contains(station.codec));
    check(!station.name.empty() && station.name.front() != ' ' && station.name.back() != ' ');
    check(station.tags.size() <= RadioStation::maximumTags);
    check(std::set<std::string>(station.tags.begin(), station.tags.end()).size() == station.tags.size());
    check(station.bitrate >= 0);
    check(station.formatLabel().rfind(station.codec, 0) == 0);
    auto stored = RadioStation::fromJSON(station.jsonValue());
    check(stored && *stored == station);
}

void stations(std::string_view body, int64_t limit) {
    auto rows = norvo::StationSearch::rowsFromReply(body);
    if (!rows) return;
    auto made = norvo::StationSearch::makeStations(rows.value(), limit);
    check(static_cast<int64_t>(made.size()) <= limit);
    std::set<std::string> addresses;
    std::set<std::string> keys;
    for (const auto& station : made) {
        checkStation(station);
        check(addresses.insert(station.streamURL.absoluteString()).second);
        check(keys.insert(norvo::StationNameKey::of(station.name)).second);
    }
}

void storedForms(std::string_view body) {
    auto value = norvo::JSONValue::parse(body);
    if (value) {
        if (auto station = RadioStation::fromJSON(*value)) {
            auto again = RadioStation::fromJSON(station->jsonValue());
            check(again && *again == *station);
        }
    }
    auto query = RadioBrowserClient::Query::fromJSONText(body);
    if (query) {
        auto again = RadioBrowserClient::Query::fromJSON(query.value().jsonValue());
        check(again && again.value() == query.value());
    } else {
        check(!query.error().message().empty());
    }
}

void lists(std::string_view body) {
    if (auto names = norvo::DirectoryServerList::namesFromReply(body)) {
        uint64_t state = 1;
        auto list = norvo::DirectoryServerList::arranged(*names, {"f1.example.org", "f2.example.org"}, [&state] {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return state;
        });
        check(list.servers.size() >= 2);
        for (const auto& host : list.servers) check(norvo::Url::isHostWithOptionalPort(host));
    }
    static const norvo::Locale locale("en_US");
    if (auto rows = norvo::CountryList::rowsFromReply(body)) {
        std::set<std::string> codes;
        for (const auto& country : norvo::CountryList::countries(rows.value(), locale)) {
            check(codes.insert(country.code).second);
            check(country.stationCount >= norvo::CountryList::minimumStations);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the search limit; the rest is the reply.
    int64_t limit = 1 + data[0] % 16;
    std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    stations(body, limit);
    storedForms(body);
    lists(body);
    return 0;
}
