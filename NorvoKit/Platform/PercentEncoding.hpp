#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvo {

// Percent-encoding of URL paths and queries. Everything but the unreserved characters
// of RFC 3986 (letters, digits, "-", ".", "_", "~") is escaped, so a server decodes
// exactly the bytes that were given: "+" arrives as "+", not as a space.
struct PercentEncoding {
    using QueryItem = std::pair<std::string, std::string>;

    static std::string encodeComponent(std::string_view text);
    // A path keeps its "/" separators; every other reserved byte is escaped.
    static std::string encodePath(std::string_view path);
    // "name=value&name=value" in the given order; empty for no items.
    static std::string encodeQuery(const std::vector<QueryItem>& items);
    // The inverse of encodeComponent; a broken escape stays as written. "+" stays "+".
    static std::string decode(std::string_view text);
};

}  // namespace norvo
