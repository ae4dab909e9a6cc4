#include "Radio/StationNameKey.hpp"

#include "Platform/Locale.hpp"

namespace norvo {

std::string StationNameKey::of(std::string_view name) {
    auto words = Locale::alphanumericWords(Locale::foldingDiacritics(Locale::lowercased(name)));
    if (words.size() > 1 && words.front() == "radio") words.erase(words.begin());
    if (words.size() >= 2 && words.back() == "radio") words.pop_back();
    std::string key;
    for (const auto& word : words) {
        if (!key.empty()) key.push_back(' ');
        key += word;
    }
    return key;
}

}  // namespace norvo
