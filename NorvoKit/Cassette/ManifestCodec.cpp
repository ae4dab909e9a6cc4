#include "Cassette/ManifestCodec.hpp"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "Cassette/CassetteFileError.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Platform/Iso8601.hpp"

namespace norvo {

namespace {

using Object = JSONValue::Object;
using Array = JSONValue::Array;

constexpr const char* sideKey(TapeSide side) { return side == TapeSide::a ? "a" : "b"; }

// ---- writing ----

// Adds what was carried from a file without ever overriding a key written now; objects
// present on both sides are merged the same way, key by key.
void mergeCarried(Object& into, const Object& carried) {
    for (const auto& [key, value] : carried) {
        auto it = into.find(key);
        if (it == into.end()) into.emplace(key, value);
        else if (it->second.isObject() && value.isObject()) mergeCarried(*it->second.object(), *value.object());
    }
}

JSONValue encodeMarker(const TrackMarker& marker) {
    Object object{{"frame", marker.frame}, {"title", marker.title}, {"kind", marker.kind}};
    mergeCarried(object, marker.extra);
    return object;
}

JSONValue encodeEvent(const HistoryEvent& event) {
    Object object{{"type", event.type}, {"timestamp", formatISO8601(event.timestamp)}};
    if (event.app) object["app"] = *event.app;
    if (event.side) object["side"] = sideKey(*event.side);
    if (event.state) object["state"] = rawValue(*event.state);
    if (event.startFrame) object["start_frame"] = *event.startFrame;
    if (event.endFrame) object["end_frame"] = *event.endFrame;
    if (event.source) object["source"] = *event.source;
    if (event.sourceFormat) object["source_format"] = *event.sourceFormat;
    mergeCarried(object, event.extra);
    return object;
}

JSONValue encodeSide(const CassetteDocument::Side& side, int64_t frames, const std::optional<std::string>& audio) {
    Array markers;
    for (const auto& marker : side.markers) markers.push_back(encodeMarker(marker));
    Object object{{"title", side.title},
                  {"write_protect", rawValue(side.writeProtect)},
                  {"frames", frames},
                  {"markers", std::move(markers)}};
    if (audio) object["audio"] = *audio;
    return object;
}

JSONValue encodeDesign(const CassetteDesign& design) {
    return Object{{"style_id", design.styleID},
                  {"shell_color", design.shellColor.hexText()},
                  {"shell_transparent", design.shellTransparent},
                  {"label_style", rawValue(design.labelStyle)},
                  {"label_color", design.labelColor.hexText()},
                  {"ink_color", design.inkColor.hexText()},
                  {"accent_color", design.accentColor.hexText()},
                  {"label_font", rawValue(design.labelFont)}};
}

JSONValue strings(const std::vector<std::string>& list) {
    Array out;
    for (const auto& item : list) out.emplace_back(item);
    return out;
}

JSONValue encodeJCard(const JCard& card) {
    return Object{{"title", card.title},
                  {"subtitle", card.subtitle},
                  {"spine_text", card.spineText},
                  {"flap_text", card.flapText},
                  {"side_a_tracks", strings(card.sideATracks)},
                  {"side_b_tracks", strings(card.sideBTracks)},
                  {"dedication", card.dedication},
                  {"card_color", card.cardColor.hexText()},
                  {"ink_color", card.inkColor.hexText()},
                  {"font", rawValue(card.font)}};
}

// ---- reading ----

const JSONValue* member(const JSONValue& object, const char* key) { return object.find(key); }

std::string text(const JSONValue& object, const char* key, std::string fallback = {}) {
    const JSONValue* value = member(object, key);
    return value && value->string() ? *value->string() : fallback;
}

std::optional<std::string> optionalText(const JSONValue& object, const char* key) {
    const JSONValue* value = member(object, key);
    if (value && value->string()) return *value->string();
    return std::nullopt;
}

std::optional<int64_t> optionalInteger(const JSONValue& object, const char* key) {
    const JSONValue* value = member(object, key);
    return value ? value->integer() : std::nullopt;
}

bool flag(const JSONValue& object, const char* key, bool fallback) {
    const JSONValue* value = member(object, key);
    auto b = value ? value->boolValue() : std::nullopt;
    return b.value_or(fallback);
}

RGBAColor color(const JSONValue& object, const char* key, RGBAColor fallback) {
    const JSONValue* value = member(object, key);
    if (!value || !value->string()) return fallback;
    return RGBAColor::fromHex(*value->string()).value_or(fallback);
}

template <typename Enum>
Enum enumValue(const JSONValue& object, const char* key, Enum fallback,
               std::optional<Enum> (*fromRaw)(std::string_view)) {
    const JSONValue* value = member(object, key);
    if (!value || !value->string()) return fallback;
    return fromRaw(*value->string()).value_or(fallback);
}

Date date(const JSONValue& object, const char* key, Date fallback) {
    const JSONValue* value = member(object, key);
    if (!value || !value->string()) return fallback;
    const auto parsed = parseISO8601(*value->string());
    return parsed ? wholeSeconds(*parsed) : fallback;
}

std::vector<std::string> textList(const JSONValue& object, const char* key) {
    std::vector<std::string> out;
    const JSONValue* value = member(object, key);
    if (!value || !value->array()) return out;
    for (const auto& item : *value->array()) out.push_back(item.string() ? *item.string() : std::string());
    return out;
}

Object unknownKeys(const JSONValue& object, std::initializer_list<std::string_view> known) {
    Object out;
    if (!object.object()) return out;
    for (const auto& [key, value] : *object.object())
        if (std::find(known.begin(), known.end(), key) == known.end()) out.emplace(key, value);
    return out;
}

// Puts the unknown keys of a known object under its key of the carried tree.
void carryNested(Object& carried, const std::string& key, Object unknown) {
    if (!unknown.empty()) carried[key] = JSONValue(std::move(unknown));
}

bool isSupportedVersion(const std::string& version) {
    if (version.size() < 3 || version.compare(0, 2, "1.") != 0) return false;
    return std::all_of(version.begin() + 2, version.end(), [](char c) { return c >= '0' && c <= '9'; });
}

CassetteType decodeType(const JSONValue& root) {
    const JSONValue* type = member(root, "type");
    if (!type || !type->isObject()) throw CassetteFileError::manifestDamaged();
    const JSONValue* name = member(*type, "name");
    const JSONValue* seconds = member(*type, "side_seconds");
    int64_t sideSeconds = -1;
    if (seconds) sideSeconds = seconds->integer().value_or(-1);
    if (!name || !name->string() || sideSeconds < 0 || sideSeconds > 1'000'000)
        throw CassetteFileError::manifestDamaged();
    auto made = CassetteType::make(*name->string(), static_cast<int>(sideSeconds));
    if (!made) throw CassetteFileError::manifestDamaged();
    return *made;
}

std::vector<TrackMarker> decodeMarkers(const JSONValue& side, int64_t sideFrames) {
    std::vector<TrackMarker> markers;
    const JSONValue* list = member(side, "markers");
    if (!list || !list->array()) return markers;
    for (const auto& item : *list->array()) {
        if (!item.isObject()) continue;
        const auto frame = optionalInteger(item, "frame");
        if (!frame || *frame < 0 || *frame >= sideFrames) continue;  // not on this side
        TrackMarker marker;
        marker.frame = *frame;
        marker.title = text(item, "title");
        marker.kind = text(item, "kind");
        marker.extra = unknownKeys(item, {"frame", "title", "kind"});
        markers.push_back(std::move(marker));
    }
    std::stable_sort(markers.begin(), markers.end(),
                     [](const TrackMarker& a, const TrackMarker& b) { return a.frame < b.frame; });
    return markers;
}

void decodeSides(const JSONValue& root, const CassetteType& type, CassetteDocument& document, ManifestLayout& layout) {
    const JSONValue* sides = member(root, "sides");
    if (!sides) return;
    if (!sides->isObject()) throw CassetteFileError::manifestDamaged();
    Object carriedSides = unknownKeys(*sides, {"a", "b"});
    const int64_t sideFrames = type.sideFrames();
    for (TapeSide which : allTapeSides) {
        const JSONValue* side = member(*sides, sideKey(which));
        if (!side) continue;
        if (!side->isObject()) throw CassetteFileError::manifestDamaged();

        const JSONValue* framesValue = member(*side, "frames");
        const JSONValue* audioValue = member(*side, "audio");
        const bool hasAudio = audioValue && !audioValue->isNull();
        if (hasAudio && !audioValue->string()) throw CassetteFileError::manifestDamaged();
        int64_t frames = 0;
        if (framesValue) {
            const auto integer = framesValue->integer();
            if (!integer || *integer < 0 || *integer > sideFrames) throw CassetteFileError::manifestDamaged();
            frames = *integer;
        } else if (hasAudio) {
            throw CassetteFileError::manifestDamaged();  // audio of unknown length
        }
        if (frames > 0 && !hasAudio) throw CassetteFileError::manifestDamaged();
        layout.frames[rawValue(which)] = frames;
        if (frames > 0) layout.audio[rawValue(which)] = *audioValue->string();

        auto& target = document.side(which);
        target.title = text(*side, "title");
        target.writeProtect = enumValue(*side, "write_protect", WriteProtect::intact, writeProtectFromRaw);
        target.markers = decodeMarkers(*side, sideFrames);
        carryNested(carriedSides, sideKey(which),
                    unknownKeys(*side, {"title", "write_protect", "frames", "audio", "markers"}));
    }
    carryNested(document.carriedManifest, "sides", std::move(carriedSides));
}

void decodeDesign(const JSONValue& root, CassetteDocument& document) {
    const CassetteDesign fallback = CassetteStyleCatalog::defaultStyle().design;
    document.design = fallback;
    const JSONValue* design = member(root, "design");
    if (!design || !design->isObject()) return;
    CassetteDesign& d = document.design;
    d.styleID = text(*design, "style_id", fallback.styleID);
    d.shellColor = color(*design, "shell_color", fallback.shellColor);
    d.shellTransparent = flag(*design, "shell_transparent", fallback.shellTransparent);
    d.labelStyle = enumValue(*design, "label_style", fallback.labelStyle, labelStyleFromRaw);
    d.labelColor = color(*design, "label_color", fallback.labelColor);
    d.inkColor = color(*design, "ink_color", fallback.inkColor);
    d.accentColor = color(*design, "accent_color", fallback.accentColor);
    d.labelFont = enumValue(*design, "label_font", fallback.labelFont, fontRoleFromRaw);
    carryNested(document.carriedManifest, "design",
                unknownKeys(*design, {"style_id", "shell_color", "shell_transparent", "label_style", "label_color",
                                      "ink_color", "accent_color", "label_font"}));
}

void decodeJCard(const JSONValue& root, CassetteDocument& document) {
    const JSONValue* card = member(root, "jcard");
    if (!card || !card->isObject()) return;
    JCard& j = document.jcard;
    j.title = text(*card, "title");
    j.subtitle = text(*card, "subtitle");
    j.spineText = text(*card, "spine_text");
    j.flapText = text(*card, "flap_text");
    j.sideATracks = textList(*card, "side_a_tracks");
    j.sideBTracks = textList(*card, "side_b_tracks");
    j.dedication = text(*card, "dedication");
    j.cardColor = color(*card, "card_color", JCard::defaultCardColor());
    j.inkColor = color(*card, "ink_color", JCard::defaultInkColor());
    j.font = enumValue(*card, "font", FontRole::marker, fontRoleFromRaw);
    carryNested(document.carriedManifest, "jcard",
                unknownKeys(*card, {"title", "subtitle", "spine_text", "flap_text", "side_a_tracks", "side_b_tracks",
                                    "dedication", "card_color", "ink_color", "font"}));
}

void decodeArtwork(const JSONValue& root, CassetteDocument& document, ManifestLayout& layout) {
    if (const JSONValue* artwork = member(root, "artwork")) {
        if (!artwork->isObject()) throw CassetteFileError::manifestDamaged();
        Object unknown;
        for (const auto& [key, value] : *artwork->object()) {
            const auto role = artworkRoleFromRaw(key);
            if (!role) {
                unknown.emplace(key, value);  // a slot of a later version; its entry is carried too
                continue;
            }
            if (!value.string()) throw CassetteFileError::manifestDamaged();
            layout.artwork[*role] = *value.string();
        }
        carryNested(document.carriedManifest, "artwork", std::move(unknown));
    }
    if (const JSONValue* booklet = member(root, "booklet")) {
        if (!booklet->array()) throw CassetteFileError::manifestDamaged();
        for (const auto& item : *booklet->array()) {
            if (!item.string()) throw CassetteFileError::manifestDamaged();
            layout.booklet.push_back(*item.string());
        }
    }
}

void decodeHistory(const JSONValue& root, CassetteDocument& document) {
    const JSONValue* history = member(root, "history");
    if (!history || !history->array()) return;
    for (const auto& item : *history->array()) {
        if (!item.isObject()) continue;
        HistoryEvent event;
        event.type = text(item, "type");
        event.timestamp = date(item, "timestamp", document.createdAt);
        event.app = optionalText(item, "app");
        if (const auto side = optionalText(item, "side")) {
            if (*side == "a") event.side = TapeSide::a;
            else if (*side == "b") event.side = TapeSide::b;
        }
        if (const auto state = optionalText(item, "state")) event.state = writeProtectFromRaw(*state);
        event.startFrame = optionalInteger(item, "start_frame");
        event.endFrame = optionalInteger(item, "end_frame");
        event.source = optionalText(item, "source");
        event.sourceFormat = optionalText(item, "source_format");
        event.extra = unknownKeys(item, {"type", "timestamp", "app", "side", "state", "start_frame", "end_frame",
                                         "source", "source_format"});
        document.history.push_back(std::move(event));
    }
}

}  // namespace

JSONValue ManifestCodec::encode(const CassetteDocument& document, const ManifestLayout& layout) {
    Object artwork;
    for (const auto& [role, path] : layout.artwork) artwork[std::string(rawValue(role))] = path;
    Array history;
    for (const auto& event : document.history) history.push_back(encodeEvent(event));
    Object sides;
    for (TapeSide side : allTapeSides)
        sides[sideKey(side)] =
            encodeSide(document.side(side), layout.frames[rawValue(side)], layout.audio[rawValue(side)]);

    Object root{
        {"format", format},
        {"format_version", formatVersion},
        {"id", document.id.text()},
        {"serial_number", document.serialNumber},
        {"name", document.name},
        {"creator", document.creator},
        {"description", document.description},
        {"genre", document.genre},
        {"notes", document.notes},
        {"created_at", formatISO8601(document.createdAt)},
        {"modified_at", formatISO8601(document.modifiedAt)},
        {"created_with", document.createdWith},
        {"type", Object{{"name", document.type.name}, {"side_seconds", document.type.sideSeconds}}},
        {"sides", std::move(sides)},
        {"design", encodeDesign(document.design)},
        {"jcard", encodeJCard(document.jcard)},
        {"artwork", std::move(artwork)},
        {"booklet", strings(layout.booklet)},
        {"history", std::move(history)},
    };
    mergeCarried(root, document.carriedManifest);
    return root;
}

ManifestCodec::Decoded ManifestCodec::decode(const JSONValue& manifest, Date now) {
    if (!manifest.isObject()) throw CassetteFileError::manifestDamaged();
    const JSONValue* formatValue = member(manifest, "format");
    if (!formatValue || !formatValue->string() || *formatValue->string() != format)
        throw CassetteFileError::notCassette();
    const JSONValue* version = member(manifest, "format_version");
    if (!version || !version->string()) throw CassetteFileError::manifestDamaged();
    if (!isSupportedVersion(*version->string())) throw CassetteFileError::newerVersion();

    const JSONValue* idValue = member(manifest, "id");
    const auto id = idValue && idValue->string() ? Uuid::parse(*idValue->string()) : std::nullopt;
    if (!id) throw CassetteFileError::manifestDamaged();

    Decoded decoded;
    CassetteDocument& document = decoded.document;
    document.id = *id;
    document.type = decodeType(manifest);
    document.serialNumber = text(manifest, "serial_number");
    document.name = text(manifest, "name");
    document.creator = text(manifest, "creator");
    document.description = text(manifest, "description");
    document.genre = text(manifest, "genre");
    document.notes = text(manifest, "notes");
    document.createdAt = date(manifest, "created_at", wholeSeconds(now));
    document.modifiedAt = date(manifest, "modified_at", document.createdAt);
    document.createdWith = text(manifest, "created_with");

    document.carriedManifest =
        unknownKeys(manifest, {"format", "format_version", "id", "serial_number", "name", "creator", "description",
                               "genre", "notes", "created_at", "modified_at", "created_with", "type", "sides", "design",
                               "jcard", "artwork", "booklet", "history"});
    carryNested(document.carriedManifest, "type", unknownKeys(*member(manifest, "type"), {"name", "side_seconds"}));
    decodeSides(manifest, document.type, document, decoded.layout);
    decodeDesign(manifest, document);
    decodeJCard(manifest, document);
    decodeArtwork(manifest, document, decoded.layout);
    decodeHistory(manifest, document);
    return decoded;
}

}  // namespace norvo
