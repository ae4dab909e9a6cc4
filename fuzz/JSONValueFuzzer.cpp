// Feeds arbitrary bytes to the JSON reader. Whatever it accepts must be written and
// read back unchanged, pretty or compact.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Platform/JSONValue.hpp"

using namespace norvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto value = JSONValue::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value) return 0;
    const auto pretty = JSONValue::parse(value->serialized());
    const auto compact = JSONValue::parse(value->compact());
    if (!pretty || !(*pretty == *value)) std::abort();
    if (!compact || !(*compact == *value)) std::abort();
    return 0;
}
