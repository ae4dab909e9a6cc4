#include "Platform/HttpResponse.hpp"

#include <algorithm>
#include <cctype>

namespace norvo {

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto found = headers.find(key);
    if (found == headers.end()) return std::nullopt;
    return found->second;
}

}  // namespace norvo
