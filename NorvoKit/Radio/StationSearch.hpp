#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "Radio/DirectoryStation.hpp"
#include "Radio/RadioBrowserClient.hpp"
#include "Radio/RadioStation.hpp"

namespace norvo {

// The steps of a station search around the request itself.
struct StationSearch {
    static constexpr std::string_view path = "/json/stations/search";
    // The directory's sort key: most listened first (sent with "reverse").
    static constexpr std::string_view order = "clickcount";

    // "order", "reverse", "hidebroken", "limit" (twice `limit`, as the directory drops
    // repeats only after we ask), then the items of the query's case.
    static std::vector<RadioBrowserClient::QueryItem> queryItems(const RadioBrowserClient::Query& query, int64_t limit);

    // The rows of a reply in order. A row that does not read is skipped; a body that is
    // not a JSON array fails.
    static RadioBrowserClient::Result<std::vector<DirectoryStation>> rowsFromReply(std::string_view body);

    // Converts the rows in order, keeping the first station of each stream address and of
    // each name key, and stops at `limit` stations.
    static std::vector<RadioStation> makeStations(const std::vector<DirectoryStation>& rows, int64_t limit);
};

}  // namespace norvo
