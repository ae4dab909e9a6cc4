#include "Radio/CountryList.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace norvo {

RadioBrowserClient::Result<std::vector<CountryList::Row>> CountryList::rowsFromReply(std::string_view body) {
    using Error = RadioBrowserClient::Error;
    auto parsed = JSONValue::parse(body);
    if (!parsed) return Error::decoding("The directory's reply is not valid JSON.");
    const JSONValue::Array* array = parsed->array();
    if (!array) return Error::decoding("The directory's reply is not a list of countries.");
    std::vector<Row> rows;
    rows.reserve(array->size());
    for (const JSONValue& value : *array) {
        const JSONValue* name = value.find("name");
        const JSONValue* code = value.find("iso_3166_1");
        const JSONValue* count = value.find("stationcount");
        if (!name || !name->isString() || !code || !code->isString() || !count || !count->integer())
            return Error::decoding("The directory's reply holds an unreadable country.");
        rows.push_back({*name->string(), *code->string(), *count->integer()});
    }
    return rows;
}

std::vector<RadioBrowserClient::Country> CountryList::countries(const std::vector<Row>& rows, const Locale& locale) {
    std::vector<RadioBrowserClient::Country> countries;
    std::unordered_map<std::string, std::size_t> indexByCode;
    for (const Row& row : rows) {
        if (Locale::characterCount(row.iso_3166_1) != 2 || row.stationcount < minimumStations) continue;
        std::string code = Locale::uppercased(row.iso_3166_1);
        auto [it, isNew] = indexByCode.try_emplace(code, countries.size());
        if (isNew) {
            std::string name = Locale::englishRegionName(code).value_or(row.name);
            countries.push_back({std::move(code), std::move(name), 0});
        }
        // Saturating: a hostile count must not overflow the sum.
        int64_t& total = countries[it->second].stationCount;
        total = row.stationcount > std::numeric_limits<int64_t>::max() - total ? std::numeric_limits<int64_t>::max()
                                                                               : total + row.stationcount;
    }
    auto order = locale.caseInsensitiveOrder();
    std::stable_sort(countries.begin(), countries.end(),
                     [&order](const auto& a, const auto& b) { return order(a.name, b.name); });
    return countries;
}

}  // namespace norvo
