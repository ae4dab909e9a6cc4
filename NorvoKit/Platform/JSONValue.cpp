#include "Platform/JSONValue.hpp"

#include <cmath>
#include <nlohmann/json.hpp>

namespace norvo {

namespace {

using nlohmann::json;

std::optional<JSONValue> fromNlohmann(const json& j, int depth) {
    if (depth > JSONValue::maximumDepth) return std::nullopt;
    switch (j.type()) {
    case json::value_t::null: return JSONValue();
    case json::value_t::boolean: return JSONValue(j.get<bool>());
    case json::value_t::number_integer: return JSONValue(static_cast<double>(j.get<int64_t>()));
    case json::value_t::number_unsigned: return JSONValue(static_cast<double>(j.get<uint64_t>()));
    case json::value_t::number_float: return JSONValue(j.get<double>());
    case json::value_t::string: return JSONValue(j.get_ref<const std::string&>());
    case json::value_t::array: {
        JSONValue::Array out;
        out.reserve(j.size());
        for (const auto& element : j) {
            auto value = fromNlohmann(element, depth + 1);
            if (!value) return std::nullopt;
            out.push_back(std::move(*value));
        }
        return JSONValue(std::move(out));
    }
    case json::value_t::object: {
        JSONValue::Object out;
        for (const auto& [key, element] : j.items()) {
            auto value = fromNlohmann(element, depth + 1);
            if (!value) return std::nullopt;
            out.emplace(key, std::move(*value));
        }
        return JSONValue(std::move(out));
    }
    default: return std::nullopt;
    }
}

json toNlohmann(const JSONValue& value) {
    if (auto b = value.boolValue()) return *b;
    if (auto n = value.number()) {
        // Whole numbers are written without a fraction, as other writers do.
        if (std::isfinite(*n) && std::floor(*n) == *n && std::fabs(*n) < 9007199254740992.0)
            return static_cast<int64_t>(*n);
        if (!std::isfinite(*n)) return nullptr;
        return *n;
    }
    if (auto s = value.string()) return *s;
    if (auto a = value.array()) {
        json out = json::array();
        for (const auto& element : *a) out.push_back(toNlohmann(element));
        return out;
    }
    if (auto o = value.object()) {
        json out = json::object();
        for (const auto& [key, element] : *o) out[key] = toNlohmann(element);
        return out;
    }
    return nullptr;
}

// nlohmann's parser would accept unbounded nesting; count brackets first so a
// hostile file cannot drive the conversion's recursion arbitrarily deep.
bool nestingWithinLimit(std::string_view text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        else if (c == '[' || c == '{') {
            if (++depth > JSONValue::maximumDepth) return false;
        } else if (c == ']' || c == '}') --depth;
    }
    return true;
}

}  // namespace

std::optional<bool> JSONValue::boolValue() const {
    if (auto b = std::get_if<bool>(&storage_)) return *b;
    return std::nullopt;
}

std::optional<double> JSONValue::number() const {
    if (auto n = std::get_if<double>(&storage_)) return *n;
    return std::nullopt;
}

std::optional<int64_t> JSONValue::integer() const {
    auto n = number();
    if (!n || !std::isfinite(*n) || std::floor(*n) != *n) return std::nullopt;
    if (*n < -9223372036854775808.0 || *n >= 9223372036854775808.0) return std::nullopt;
    return static_cast<int64_t>(*n);
}

const JSONValue* JSONValue::find(const std::string& key) const {
    const Object* o = object();
    if (!o) return nullptr;
    auto it = o->find(key);
    return it == o->end() ? nullptr : &it->second;
}

JSONValue& JSONValue::operator[](const std::string& key) {
    if (!isObject()) storage_ = Object{};
    return std::get<Object>(storage_)[key];
}

std::optional<JSONValue> JSONValue::parse(std::string_view text) {
    if (!nestingWithinLimit(text)) return std::nullopt;
    json parsed = json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) return std::nullopt;
    return fromNlohmann(parsed, 0);
}

std::string JSONValue::serialized() const {
    return toNlohmann(*this).dump(2, ' ', /*ensure_ascii=*/false, json::error_handler_t::replace);
}

std::string JSONValue::compact() const {
    return toNlohmann(*this).dump(-1, ' ', /*ensure_ascii=*/false, json::error_handler_t::replace);
}

}  // namespace norvo
