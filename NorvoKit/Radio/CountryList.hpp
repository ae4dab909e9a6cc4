#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Locale.hpp"
#include "Radio/RadioBrowserClient.hpp"

namespace norvo {

// The steps of the country list around the request itself.
struct CountryList {
    // One row of the directory's countries reply.
    struct Row {
        std::string name;
        std::string iso_3166_1;
        int64_t stationcount = 0;
        bool operator==(const Row&) const = default;
    };

    static constexpr std::string_view path = "/json/countries";
    static constexpr int64_t minimumStations = 10;

    // All rows or an error: one row without "name", "iso_3166_1" or an integer
    // "stationcount" spoils the reply.
    static RadioBrowserClient::Result<std::vector<Row>> rowsFromReply(std::string_view body);

    // Keeps rows with a two-character code and at least ten stations, folds them by
    // upper-case code (the first row names the entry, the counts add up), names each by
    // its English region name where one exists, and sorts by name in `locale`'s
    // case-insensitive order, stably.
    static std::vector<RadioBrowserClient::Country> countries(const std::vector<Row>& rows, const Locale& locale);
};

}  // namespace norvo
