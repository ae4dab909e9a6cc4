#pragma once
#include <string>

namespace norvo {

// How a transfer failed, in the terms the radio and the directory report to the user.
struct HttpError {
    enum class Kind {
        cannotFindHost,          // the host name does not resolve
        cannotConnectToHost,     // connection refused, or the host is unreachable
        notConnectedToInternet,  // no route to any network
        networkConnectionLost,   // the connection broke while sending or receiving, or an empty reply
        timedOut,                // no headers in time, or the body went quiet for too long
        secureConnectionFailed,  // TLS handshake or certificate failure
        bodyTooLarge,            // a one-shot fetch exceeded its body limit
        other,                   // anything else (bad redirects, protocol errors, truncated bodies)
    };

    Kind kind = Kind::other;
    std::string detail;  // the transport's own wording, for diagnostics only

    bool operator==(const HttpError&) const = default;
};

}  // namespace norvo
