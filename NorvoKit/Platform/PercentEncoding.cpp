#include "Platform/PercentEncoding.hpp"

namespace norvo {

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// A path keeps its slashes; in a component or a query they are encoded.
enum class Slash { encoded, kept };

void append(std::string& out, std::string_view text, Slash slash) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (isUnreserved(c) || (slash == Slash::kept && c == '/')) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        }
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string PercentEncoding::encodeComponent(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append(out, text, Slash::encoded);
    return out;
}

std::string PercentEncoding::encodePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    append(out, path, Slash::kept);
    return out;
}

std::string PercentEncoding::encodeQuery(const std::vector<QueryItem>& items) {
    std::string out;
    for (const auto& [name, value] : items) {
        if (!out.empty()) out.push_back('&');
        append(out, name, Slash::encoded);
        out.push_back('=');
        append(out, value, Slash::encoded);
    }
    return out;
}

std::string PercentEncoding::decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hexValue(text[i + 1]);
            int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace norvo
