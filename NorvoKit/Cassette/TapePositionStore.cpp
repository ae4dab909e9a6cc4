#include "Cassette/TapePositionStore.hpp"

#include "Platform/Iso8601.hpp"
#include "Platform/JSONValue.hpp"

namespace norvo {

std::string TapePositionStore::key(const Uuid& cassetteID) { return "NorvoStudio.position." + cassetteID.text(); }

void TapePositionStore::save(const Position& position, const Uuid& cassetteID) {
    JSONValue::Object object{
        {"side", JSONValue(position.side == TapeSide::a ? "a" : "b")},
        {"head", JSONValue(position.head)},
        {"savedAt", JSONValue(formatISO8601(position.savedAt))},
    };
    defaults_.setData(key(cassetteID), JSONValue(std::move(object)).compact());
}

std::optional<TapePositionStore::Position> TapePositionStore::load(const Uuid& cassetteID) const {
    const auto stored = defaults_.data(key(cassetteID));
    if (!stored) return std::nullopt;
    const auto json = JSONValue::parse(*stored);
    if (!json || !json->isObject()) return std::nullopt;
    const JSONValue* side = json->find("side");
    const JSONValue* head = json->find("head");
    const JSONValue* savedAt = json->find("savedAt");
    if (!side || !head || !savedAt || !side->string() || !savedAt->string()) return std::nullopt;

    Position position;
    if (*side->string() == "a") position.side = TapeSide::a;
    else if (*side->string() == "b") position.side = TapeSide::b;
    else return std::nullopt;
    const auto frame = head->integer();
    if (!frame || *frame < 0) return std::nullopt;
    position.head = *frame;
    const auto date = parseISO8601(*savedAt->string());
    if (!date) return std::nullopt;
    position.savedAt = *date;
    return position;
}

}  // namespace norvo
