#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "SoakRecording.hpp"
#include "SoakSource.hpp"

namespace norvo::soak {

// What the proxy (tools/radio-soak/proxy.py) saw of one connection that brought audio, on
// the steady clock the player shares.
struct LinkConnection {
    double firstAudio = 0;                                 // it passed on the first audio byte
    std::vector<std::pair<double, std::size_t>> sent;      // (time, audio bytes passed on so far)
    std::vector<std::pair<double, std::size_t>> upstream;  // (time, audio bytes the server had sent)

    // When it had passed on `bytes` audio bytes; none if it never did.
    std::optional<double> passedOn(std::size_t bytes) const;
};

// The proxy's log: the connections that brought audio, in the order they did.
std::vector<LinkConnection> readLinkLog(const std::filesystem::path& path);

// Where in the source the server's first audio byte of the connection lay: the server
// sends the newest bytes as it gets them, so none came before it went on the air, and the
// bytes that came soonest after tell it. `onAir` is when the source's time zero was.
int64_t serverStart(const LinkConnection& link, const Source& source, double onAir);

// The proxy's connection that delivered a recorded one: the last to pass on its first audio
// byte before the decoder had it, unless it passed on fewer bytes than the decoder had.
const LinkConnection* findLink(const std::vector<LinkConnection>& links, const Connection& c);

}  // namespace norvo::soak
