#include "AudioEngine/TapeSound/SoundProfile.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "AudioEngine/TapeSound/SoundProfileError.hpp"
#include "Platform/RegularFile.hpp"
#include "Platform/ShownName.hpp"

namespace norvo {

namespace {

[[noreturn]] void fail(std::string path, std::string message) {
    throw SoundProfileError(SoundIssue::error(std::move(path), std::move(message)));
}

// Calls `visit(codePoint, byteOffset)` for each code point; malformed bytes come as
// negative code points (JSON text has been validated already, so only as a precaution).
template <typename Visit>
void forEachCodePoint(std::string_view text, Visit visit) {
    int32_t offset = 0;
    const auto length = static_cast<int32_t>(text.size());
    while (offset < length) {
        int32_t start = offset;
        UChar32 c;
        U8_NEXT(text.data(), offset, length, c);
        visit(c, start);
    }
}

bool isBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos; }

void checkID(const JSONValue* value) {
    const std::string* id = value ? value->string() : nullptr;
    if (!id || isBlank(*id)) fail("id", "A profile needs an id");
    std::size_t count = 0;
    bool control = false;
    forEachCodePoint(*id, [&](UChar32 c, int32_t) {
        ++count;
        if (c < 0 || u_charType(c) == U_CONTROL_CHAR) control = true;
    });
    if (count > SoundProfile::maximumIDLength || control) fail("id", "A profile needs an id");
    if (*id == "clean") fail("id", "The id \u201Cclean\u201D is reserved");
}

std::string trimmed(std::string_view text) {
    auto first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(" \t\r\n\f\v");
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string SoundProfile::readFile(const std::filesystem::path& file) {
    RegularFile opened(file);
    auto bytes = opened.read(maximumSize);
    if (!bytes) fail("", "\u201C" + ShownName::inSentence(file.filename().native()) + "\u201D " + opened.reason());
    return std::move(*bytes);
}

SoundProfile::ParseResult SoundProfile::parse(std::string_view data) {
    if (data.size() > maximumSize) fail("", "The profile is larger than 64 KiB");
    auto document = JSONValue::parse(data);
    if (!document) fail("", "The profile is not valid JSON");
    return parseDocument(*document);
}

SoundProfile::ParseResult SoundProfile::parseDocument(const JSONValue& document) {
    if (!document.isObject()) fail("", "A profile must be a JSON object");

    const JSONValue* formatValue = document.find("format");
    if (!formatValue || !formatValue->string() || *formatValue->string() != format)
        fail("format", "This is not a NORVO Sound profile");

    const JSONValue* version = document.find("format_version");
    if (!version || !version->string() || !version->string()->starts_with("1."))
        fail("format_version", "This profile needs a newer Norvo Studio");

    const JSONValue* idValue = document.find("id");
    checkID(idValue);

    const JSONValue* nameValue = document.find("name");
    if (!nameValue || !nameValue->string() || isBlank(*nameValue->string())) fail("name", "A profile needs a name");

    ParseResult result;
    result.profile.id = *idValue->string();
    result.profile.name = *nameValue->string();
    result.profile.document = document;
    if (const JSONValue* tape = document.find("tape"))
        result.profile.settings = TapeSoundSettings::read(*tape, result.warnings);
    return result;
}

std::string SoundProfile::encodedData() const { return document.serialized() + "\n"; }

std::string SoundProfile::suggestedFileName() const {
    // Long enough for any sensible name, short enough that the file system takes it.
    constexpr std::size_t maximumStemBytes = 200;
    constexpr uint32_t kept = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
    std::string stem;
    bool full = false;
    forEachCodePoint(name, [&](UChar32 c, int32_t start) {
        if (c < 0 || full) return;
        if (!(c == ' ' || c == '_' || c == '-' || (U_GET_GC_MASK(c) & kept))) return;
        int32_t end = start;
        U8_FWD_1(name.data(), end, static_cast<int32_t>(name.size()));
        if (stem.size() + static_cast<std::size_t>(end - start) > maximumStemBytes) {
            full = true;
            return;
        }
        stem.append(name, static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    });
    stem = trimmed(stem);
    if (stem.empty()) stem = "Tape sound";
    return stem + "." + std::string(fileExtension);
}

}  // namespace norvo
