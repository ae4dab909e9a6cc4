#include "SoakLink.hpp"

#include <algorithm>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace norvo::soak {

std::optional<double> LinkConnection::passedOn(std::size_t bytes) const {
    const auto it =
        std::lower_bound(sent.begin(), sent.end(), bytes, [](const auto& s, std::size_t b) { return s.second < b; });
    if (it == sent.end()) return std::nullopt;
    return it->first;
}

std::vector<LinkConnection> readLinkLog(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::map<int, LinkConnection> byNumber;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        double t = 0;
        int number = 0;
        std::string event;
        std::size_t count = 0;
        if (!(fields >> t >> number >> event) || number == 0) continue;
        auto& c = byNumber[number];
        if (event == "first-audio") c.firstAudio = t;
        else if (event == "sent" && fields >> count) c.sent.emplace_back(t, count);
        else if (event == "upstream" && fields >> count) c.upstream.emplace_back(t, count);
    }
    std::vector<LinkConnection> links;
    for (auto& [number, c] : byNumber)
        if (c.firstAudio > 0) links.push_back(std::move(c));
    std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) { return a.firstAudio < b.firstAudio; });
    return links;
}

int64_t serverStart(const LinkConnection& link, const Source& source, double onAir) {
    int64_t start = std::numeric_limits<int64_t>::max();
    for (const auto& [t, bytes] : link.upstream)
        start = std::min(start, int64_t(liveOffset(source, t - onAir)) - int64_t(bytes));
    return start;
}

const LinkConnection* findLink(const std::vector<LinkConnection>& links, const Connection& c) {
    if (c.firstByte < 0) return nullptr;
    const LinkConnection* found = nullptr;
    for (const auto& link : links)
        if (link.firstAudio <= c.firstByte) found = &link;
    if (!found || found->sent.empty() || found->sent.back().second < c.bytes.size()) return nullptr;
    return found;
}

}  // namespace norvo::soak
