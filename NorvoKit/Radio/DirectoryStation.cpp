#include "Radio/DirectoryStation.hpp"

namespace norvo {

namespace {

// Whether the key is usable: absent and null give none, a string gives its text,
// anything else spoils the row.
bool readOptionalText(const JSONValue& row, const std::string& key, std::optional<std::string>& out) {
    const JSONValue* value = row.find(key);
    if (!value || value->isNull()) return true;
    if (const std::string* text = value->string()) {
        out = *text;
        return true;
    }
    return false;
}

bool readOptionalInteger(const JSONValue& row, const std::string& key, std::optional<int64_t>& out) {
    const JSONValue* value = row.find(key);
    if (!value || value->isNull()) return true;
    out = value->integer();
    return out.has_value();
}

bool readText(const JSONValue& row, const std::string& key, std::string& out) {
    const JSONValue* value = row.find(key);
    if (!value) return false;
    const std::string* text = value->string();
    if (!text) return false;
    out = *text;
    return true;
}

}  // namespace

std::optional<DirectoryStation> DirectoryStation::fromJSON(const JSONValue& row) {
    if (!row.isObject()) return std::nullopt;
    DirectoryStation d;
    bool readable = readText(row, "stationuuid", d.stationuuid) && readText(row, "name", d.name) &&
                    readText(row, "url", d.url) && readOptionalText(row, "url_resolved", d.url_resolved) &&
                    readOptionalText(row, "homepage", d.homepage) &&
                    readOptionalText(row, "countrycode", d.countrycode) && readOptionalText(row, "tags", d.tags) &&
                    readOptionalText(row, "codec", d.codec) && readOptionalInteger(row, "bitrate", d.bitrate) &&
                    readOptionalInteger(row, "hls", d.hls) && readOptionalInteger(row, "lastcheckok", d.lastcheckok);
    if (!readable) return std::nullopt;
    return d;
}

}  // namespace norvo
