#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace norvo {

// A JSON value: null, bool, number, string, array or object. Written pretty-printed
// with sorted keys and unescaped slashes; used by sound profiles, the cassette
// manifest and the stored settings.
class JSONValue {
public:
    using Array = std::vector<JSONValue>;
    using Object = std::map<std::string, JSONValue>;

    JSONValue() = default;
    JSONValue(std::nullptr_t) {}
    JSONValue(bool value) : storage_(value) {}
    JSONValue(double value) : storage_(value) {}
    JSONValue(float value) : storage_(static_cast<double>(value)) {}
    JSONValue(int value) : storage_(static_cast<double>(value)) {}
    JSONValue(int64_t value) : storage_(static_cast<double>(value)) {}
    JSONValue(uint64_t value) : storage_(static_cast<double>(value)) {}
    JSONValue(const char* value) : storage_(std::string(value)) {}
    JSONValue(std::string value) : storage_(std::move(value)) {}
    JSONValue(std::string_view value) : storage_(std::string(value)) {}
    JSONValue(Array value) : storage_(std::move(value)) {}
    JSONValue(Object value) : storage_(std::move(value)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(storage_); }
    bool isBool() const { return std::holds_alternative<bool>(storage_); }
    bool isNumber() const { return std::holds_alternative<double>(storage_); }
    bool isString() const { return std::holds_alternative<std::string>(storage_); }
    bool isArray() const { return std::holds_alternative<Array>(storage_); }
    bool isObject() const { return std::holds_alternative<Object>(storage_); }

    std::optional<bool> boolValue() const;
    std::optional<double> number() const;
    // The number when it is a whole number that fits an int64.
    std::optional<int64_t> integer() const;
    const std::string* string() const { return std::get_if<std::string>(&storage_); }
    const Array* array() const { return std::get_if<Array>(&storage_); }
    const Object* object() const { return std::get_if<Object>(&storage_); }
    Array* array() { return std::get_if<Array>(&storage_); }
    Object* object() { return std::get_if<Object>(&storage_); }

    // Member of an object; nullptr when this is not an object or has no such key.
    const JSONValue* find(const std::string& key) const;
    // Member lookup that turns this value into an object first (null becomes {}).
    JSONValue& operator[](const std::string& key);

    // Nothing for text that is not JSON, or nested deeper than 512 levels.
    static std::optional<JSONValue> parse(std::string_view text);
    // Pretty-printed with sorted keys, unescaped slashes, no trailing line feed.
    std::string serialized() const;
    // One line, sorted keys: for stored settings.
    std::string compact() const;

    static constexpr int maximumDepth = 512;

    bool operator==(const JSONValue&) const = default;

private:
    std::variant<std::monostate, bool, double, std::string, Array, Object> storage_;
};

}  // namespace norvo
