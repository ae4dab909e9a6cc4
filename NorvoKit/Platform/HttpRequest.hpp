#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace norvo {

// A GET request as the loop sends it. Redirects are followed (http and https only),
// nothing is cached and no cookies are kept.
struct HttpRequest {
    std::string url;
    // Sent as given, in order ("Name", "value").
    std::vector<std::pair<std::string, std::string>> headers;
    // Seconds from the start until the final header block has arrived.
    double headerTimeout = 15.0;
    // Longest silence, in seconds, allowed between two pieces of the body.
    double idleTimeout = 60.0;
    // Whole transfer, seconds; 0 means no overall limit (streams).
    double totalTimeout = 0;
    int maximumRedirects = 16;
    // One-shot fetches only: a longer body fails with HttpError::Kind::bodyTooLarge.
    std::size_t maximumBodyBytes = 32u << 20;

    bool operator==(const HttpRequest&) const = default;
};

}  // namespace norvo
