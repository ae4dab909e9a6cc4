#include "Radio/RadioStation.hpp"

#include <algorithm>

#include "Platform/Locale.hpp"

namespace norvo {

namespace {

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& word : words) {
        if (!out.empty()) out.push_back(' ');
        out += word;
    }
    return out;
}

std::vector<std::string> cleanTags(std::string_view text) {
    std::vector<std::string> tags;
    std::size_t start = 0;
    while (start <= text.size() && tags.size() < RadioStation::maximumTags) {
        std::size_t comma = text.find(',', start);
        std::size_t end = comma == std::string_view::npos ? text.size() : comma;
        std::string tag = Locale::lowercased(Locale::trimmingBlanks(text.substr(start, end - start)));
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(std::move(tag));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return tags;
}

const std::string* stringMember(const JSONValue& object, const std::string& key) {
    const JSONValue* value = object.find(key);
    return value ? value->string() : nullptr;
}

}  // namespace

const std::set<std::string>& RadioStation::acceptedCodecs() {
    static const std::set<std::string> codecs{"MP3", "AAC", "AAC+"};
    return codecs;
}

std::optional<RadioStation> RadioStation::fromDirectory(const DirectoryStation& d) {
    std::string codec = Locale::uppercased(d.codec.value_or(""));
    if (!acceptedCodecs().contains(codec)) return std::nullopt;
    if (d.hls && *d.hls != 0) return std::nullopt;
    if (d.lastcheckok && *d.lastcheckok != 1) return std::nullopt;

    // The choice is made before trimming: a resolved address of blanks spoils the row.
    const std::string& address = d.url_resolved && !d.url_resolved->empty() ? *d.url_resolved : d.url;
    auto streamURL = Url::parse(Locale::trimmingWhitespace(address));
    if (!streamURL) return std::nullopt;
    std::string scheme = asciiLowercased(streamURL->scheme());
    if (scheme != "http" && scheme != "https") return std::nullopt;

    std::string name = joined(Locale::whitespaceSeparatedWords(d.name));
    if (name.empty()) return std::nullopt;

    std::optional<Url> homepage;
    if (d.homepage && !d.homepage->empty()) homepage = Url::parse(*d.homepage);

    RadioStation station;
    station.id = d.stationuuid;
    station.name = std::move(name);
    station.streamURL = std::move(*streamURL);
    station.homepage = std::move(homepage);
    station.countryCode = Locale::uppercased(d.countrycode.value_or(""));
    station.tags = cleanTags(d.tags.value_or(""));
    station.codec = std::move(codec);
    station.bitrate = d.bitrate && *d.bitrate >= 1 ? *d.bitrate : 0;
    return station;
}

std::string RadioStation::formatLabel() const {
    if (bitrate >= 1) return codec + " " + std::to_string(bitrate) + "k";
    return codec;
}

JSONValue RadioStation::jsonValue() const {
    JSONValue::Array tagValues(tags.begin(), tags.end());
    JSONValue::Object object{
        {"id", id},
        {"name", name},
        {"streamURL", streamURL.absoluteString()},
        {"countryCode", countryCode},
        {"tags", std::move(tagValues)},
        {"codec", codec},
        {"bitrate", bitrate},
    };
    if (homepage) object.emplace("homepage", homepage->absoluteString());
    return JSONValue(std::move(object));
}

std::optional<RadioStation> RadioStation::fromJSON(const JSONValue& value) {
    const std::string* id = stringMember(value, "id");
    const std::string* name = stringMember(value, "name");
    const std::string* stream = stringMember(value, "streamURL");
    const std::string* countryCode = stringMember(value, "countryCode");
    const std::string* codec = stringMember(value, "codec");
    const JSONValue* tags = value.find("tags");
    const JSONValue* bitrate = value.find("bitrate");
    if (!id || !name || !stream || !countryCode || !codec || !tags || !tags->isArray() || !bitrate) return std::nullopt;

    RadioStation station;
    station.id = *id;
    station.name = *name;
    auto streamURL = Url::parse(*stream);
    if (!streamURL) return std::nullopt;
    station.streamURL = std::move(*streamURL);
    if (const JSONValue* homepage = value.find("homepage"); homepage && !homepage->isNull()) {
        const std::string* text = homepage->string();
        if (!text) return std::nullopt;
        station.homepage = Url::parse(*text);
        if (!station.homepage) return std::nullopt;
    }
    station.countryCode = *countryCode;
    for (const JSONValue& tag : *tags->array()) {
        const std::string* text = tag.string();
        if (!text) return std::nullopt;
        station.tags.push_back(*text);
    }
    station.codec = *codec;
    auto rate = bitrate->integer();
    if (!rate) return std::nullopt;
    station.bitrate = *rate;
    return station;
}

}  // namespace norvo

std::size_t std::hash<norvo::RadioStation>::operator()(const norvo::RadioStation& station) const noexcept {
    std::size_t seed = 0;
    auto combine = [&seed](std::size_t h) { seed ^= h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    std::hash<std::string> text;
    combine(text(station.id));
    combine(text(station.name));
    combine(std::hash<norvo::Url>{}(station.streamURL));
    combine(station.homepage.has_value());
    if (station.homepage) combine(std::hash<norvo::Url>{}(*station.homepage));
    combine(text(station.countryCode));
    combine(station.tags.size());
    for (const auto& tag : station.tags) combine(text(tag));
    combine(text(station.codec));
    combine(std::hash<int64_t>{}(station.bitrate));
    return seed;
}
