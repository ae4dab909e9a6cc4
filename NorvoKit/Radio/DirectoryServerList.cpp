#include "Radio/DirectoryServerList.hpp"

#include <algorithm>
#include <unordered_set>

#include "Platform/JSONValue.hpp"
#include "Platform/Url.hpp"

namespace norvo {

namespace {

// A uniform index below `bound` (at least 1), without the bias of a plain modulo.
uint64_t uniformBelow(uint64_t bound, const std::function<uint64_t()>& random) {
    uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    uint64_t value;
    do value = random();
    while (value >= limit);
    return value % bound;
}

}  // namespace

std::optional<std::vector<std::string>> DirectoryServerList::namesFromReply(std::string_view body) {
    auto parsed = JSONValue::parse(body);
    if (!parsed || !parsed->isArray()) return std::nullopt;
    std::vector<std::string> names;
    for (const JSONValue& entry : *parsed->array()) {
        const JSONValue* name = entry.find("name");
        if (!name || !name->isString()) return std::nullopt;
        names.push_back(*name->string());
    }
    return names;
}

DirectoryServerList DirectoryServerList::arranged(const std::vector<std::string>& names,
                                                  const std::vector<std::string>& fallbackServers,
                                                  const std::function<uint64_t()>& random) {
    DirectoryServerList list;
    std::unordered_set<std::string> seen;
    for (const auto& name : names) {
        // A name that cannot stand in a URL would fail every request sent to it.
        if (!Url::isHostWithOptionalPort(name)) continue;
        if (seen.insert(name).second) list.servers.push_back(name);
    }
    // Fisher-Yates.
    for (std::size_t i = list.servers.size(); i > 1; --i)
        std::swap(list.servers[i - 1], list.servers[uniformBelow(i, random)]);
    for (const auto& host : fallbackServers)
        if (seen.insert(host).second) list.servers.push_back(host);
    return list;
}

const std::string& DirectoryServerList::current() const {
    auto count = static_cast<int64_t>(servers.size());
    return servers[static_cast<std::size_t>(serverIndex % count)];
}

}  // namespace norvo
