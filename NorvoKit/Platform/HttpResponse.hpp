#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

// The final response of a transfer (after redirects).
struct HttpResponse {
    std::string url;  // the URL that answered, after redirects
    int statusCode = 0;
    // Content-Type before any ";", trimmed and lower-cased; none without the header.
    std::optional<std::string> mimeType;
    // Header fields by lower-cased name; repeated fields are joined with ", ".
    std::map<std::string, std::string> headers;
    // Seconds the TCP handshake took, one round trip to the server (or proxy); 0 where not
    // measured: a reused connection, or one reached through redirects.
    double roundTrip = 0;

    // The value of a header field, looked up case-insensitively.
    std::optional<std::string> header(std::string_view name) const;

    bool operator==(const HttpResponse&) const = default;
};

}  // namespace norvo
