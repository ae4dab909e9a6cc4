#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace norvo {

// A URL reference as RFC 3986 writes it: absolute ("https://host/path") or relative
// ("www.example.org", "/path"). Parsing checks the characters of every component,
// so text with spaces, non-ASCII bytes or broken percent escapes does not parse.
// Two URLs are equal when their texts are.
class Url {
public:
    // The empty reference.
    Url() = default;

    static std::optional<Url> parse(std::string_view text);

    // "host", "host:port", "[v6]" or "[v6]:port", with a port of 1 to 65535: what a
    // server list may name as a server.
    static bool isHostWithOptionalPort(std::string_view text);

    const std::string& absoluteString() const { return text_; }
    // Empty when the reference has none; as written (not lower-cased).
    const std::string& scheme() const { return scheme_; }
    bool hasAuthority() const { return hasAuthority_; }
    const std::string& host() const { return host_; }
    std::optional<int> port() const { return port_; }
    const std::string& path() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }

    bool operator==(const Url& other) const { return text_ == other.text_; }

private:
    std::string text_;
    std::string scheme_;
    bool hasAuthority_ = false;
    std::string host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace norvo

template <>
struct std::hash<norvo::Url> {
    std::size_t operator()(const norvo::Url& url) const noexcept {
        return std::hash<std::string>{}(url.absoluteString());
    }
};
