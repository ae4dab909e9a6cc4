#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvo {

// The directory servers in the order they are tried, and how many attempts have
// failed since the list was loaded. The server in use is the entry at `serverIndex`
// modulo the length, so each failure moves one step along the list and a server that
// answers stays in use.
struct DirectoryServerList {
    std::vector<std::string> servers;
    int64_t serverIndex = 0;

    // The list host's reply: a JSON array of objects with a text "name" (other members
    // ignored). Nothing when the body is anything else, one bad entry included.
    static std::optional<std::vector<std::string>> namesFromReply(std::string_view body);

    // The list to use: the names without repeats (first kept) and without names that are
    // not a host with an optional port, shuffled, then the fallback hosts not named yet in
    // their order. The fallback hosts alone, unshuffled, when no name remains.
    // `random` returns uniformly distributed 64-bit values.
    static DirectoryServerList arranged(const std::vector<std::string>& names,
                                        const std::vector<std::string>& fallbackServers,
                                        const std::function<uint64_t()>& random);

    bool isEmpty() const { return servers.empty(); }
    // Only when not empty.
    const std::string& current() const;
    void recordFailure() { ++serverIndex; }

    bool operator==(const DirectoryServerList&) const = default;
};

}  // namespace norvo
