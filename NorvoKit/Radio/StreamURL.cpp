#include "Radio/StreamURL.hpp"

#include <curl/curl.h>

#include <cctype>
#include <memory>

#include "Radio/StationText.hpp"

namespace norvo {

namespace {

struct URLHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

}  // namespace

std::optional<std::string> StreamURL::scheme(std::string_view url) {
    // RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url.front()))) return std::nullopt;
    for (std::size_t i = 1; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (c == ':') return StationText::asciiLowercased(url.substr(0, i));
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    return std::nullopt;
}

std::string StreamURL::path(std::string_view url) {
    std::string_view rest = url.substr(0, url.find_first_of("?#"));
    if (const auto separator = rest.find("://"); separator != std::string_view::npos) {
        rest.remove_prefix(separator + 3);
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return {};
        rest.remove_prefix(slash);
    }
    return std::string(rest);
}

std::string StreamURL::pathExtension(std::string_view url) {
    std::string whole = path(url);
    while (!whole.empty() && whole.back() == '/') whole.pop_back();
    const std::string_view name = std::string_view(whole).substr(whole.rfind('/') + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return StationText::asciiLowercased(name.substr(dot + 1));
}

std::optional<std::string> StreamURL::resolve(std::string_view reference, std::string_view base) {
    std::unique_ptr<CURLU, URLHandleDeleter> handle(curl_url());
    if (!handle) return std::nullopt;
    const std::string referenceText(reference);
    if (!scheme(reference)) {
        const std::string baseText(base);
        if (curl_url_set(handle.get(), CURLUPART_URL, baseText.c_str(), 0) != CURLUE_OK) return std::nullopt;
    }
    if (curl_url_set(handle.get(), CURLUPART_URL, referenceText.c_str(), 0) != CURLUE_OK) return std::nullopt;
    char* resolved = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK || !resolved) return std::nullopt;
    std::string result(resolved);
    curl_free(resolved);
    return result;
}

}  // namespace norvo
