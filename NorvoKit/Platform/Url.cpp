#include "Platform/Url.hpp"

#include <arpa/inet.h>

#include <charconv>

namespace norvo {

namespace {

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool isSubDelim(char c) {
    switch (c) {
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=': return true;
    default: return false;
    }
}

// Every character is allowed by `allowed` or starts a complete percent escape.
template <typename Allowed>
bool validComponent(std::string_view text, Allowed allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return false;
            if (!isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
            i += 2;
        } else if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

bool isPathChar(char c) { return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/'; }
bool isQueryChar(char c) { return isPathChar(c) || c == '?'; }

bool validIPv6Literal(std::string_view inner) {
    if (inner.empty() || inner.size() > 45) return false;
    std::string text(inner);
    in6_addr address{};
    return inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

// "[...]" as RFC 3986 allows it: an IPv6 address or an IPvFuture literal.
bool validIPLiteral(std::string_view host) {
    if (host.size() < 2 || host.front() != '[' || host.back() != ']') return false;
    std::string_view inner = host.substr(1, host.size() - 2);
    if (!inner.empty() && (inner[0] == 'v' || inner[0] == 'V')) {
        std::size_t dot = inner.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 >= inner.size()) return false;
        for (char c : inner.substr(1, dot - 1))
            if (!isHex(c)) return false;
        for (char c : inner.substr(dot + 1))
            if (!isUnreserved(c) && !isSubDelim(c) && c != ':') return false;
        return true;
    }
    return validIPv6Literal(inner);
}

std::optional<int> parsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    for (char c : digits)
        if (!isDigit(c)) return std::nullopt;
    int port = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (port > 65535) return std::nullopt;
    return port;
}

// Splits "host:port" where the host may be a bracketed literal; the port is empty
// when there is no colon after the host.
bool splitHostPort(std::string_view text, std::string_view& host, std::optional<std::string_view>& port) {
    std::size_t hostEnd;
    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        hostEnd = close + 1;
        if (hostEnd < text.size() && text[hostEnd] != ':') return false;
    } else {
        hostEnd = text.find(':');
        if (hostEnd == std::string_view::npos) hostEnd = text.size();
    }
    host = text.substr(0, hostEnd);
    if (hostEnd < text.size()) port = text.substr(hostEnd + 1);
    return true;
}

bool validDnsName(std::string_view name) {
    if (name.empty() || name.size() > 253) return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t dot = name.find('.', start);
        std::string_view label =
            name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.empty() || label.size() > 63) return false;
        if (label.front() == '-' || label.back() == '-') return false;
        for (char c : label)
            if (!isAlpha(c) && !isDigit(c) && c != '-' && c != '_') return false;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return true;
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
    Url url;
    url.text_ = std::string(text);
    std::string_view rest = text;

    // A fragment and a query are cut off from the end first; neither may hold '#'.
    if (std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        std::string_view fragment = rest.substr(hash + 1);
        if (!validComponent(fragment, isQueryChar)) return std::nullopt;
        url.fragment_ = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    if (std::size_t question = rest.find('?'); question != std::string_view::npos) {
        std::string_view query = rest.substr(question + 1);
        if (!validComponent(query, isQueryChar)) return std::nullopt;
        url.query_ = std::string(query);
        rest = rest.substr(0, question);
    }

    // A scheme is letters, digits, "+", "-", "." after a first letter, ended by ':'
    // before any '/'.
    std::size_t colon = rest.find(':');
    std::size_t slash = rest.find('/');
    if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
        std::string_view scheme = rest.substr(0, colon);
        if (scheme.empty() || !isAlpha(scheme[0])) return std::nullopt;
        for (char c : scheme)
            if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
        url.scheme_ = std::string(scheme);
        rest = rest.substr(colon + 1);
    }

    if (rest.substr(0, 2) == "//") {
        url.hasAuthority_ = true;
        rest = rest.substr(2);
        std::size_t end = rest.find('/');
        std::string_view authority = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
            auto userInfoChar = [](char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; };
            if (!validComponent(authority.substr(0, at), userInfoChar)) return std::nullopt;
            authority = authority.substr(at + 1);
        }
        std::string_view host;
        std::optional<std::string_view> port;
        if (!splitHostPort(authority, host, port)) return std::nullopt;
        if (!host.empty() && host.front() == '[') {
            if (!validIPLiteral(host)) return std::nullopt;
        } else if (!validComponent(host, [](char c) { return isUnreserved(c) || isSubDelim(c); })) {
            return std::nullopt;
        }
        if (port && !port->empty()) {
            url.port_ = parsePort(*port);
            if (!url.port_) return std::nullopt;
        }
        url.host_ = std::string(host);
    }

    if (!validComponent(rest, isPathChar)) return std::nullopt;
    // Without a scheme, a colon in the first segment would read as one.
    if (url.scheme_.empty() && !url.hasAuthority_) {
        std::string_view first = rest.substr(0, rest.find('/'));
        if (first.find(':') != std::string_view::npos) return std::nullopt;
    }
    url.path_ = std::string(rest);
    return url;
}

bool Url::isHostWithOptionalPort(std::string_view text) {
    std::string_view host;
    std::optional<std::string_view> port;
    if (!splitHostPort(text, host, port)) return false;
    if (port) {
        auto number = parsePort(*port);
        if (!number || *number == 0) return false;
    }
    if (!host.empty() && host.front() == '[') return validIPv6Literal(host.substr(1, host.size() - 2));
    return validDnsName(host);
}

}  // namespace norvo
