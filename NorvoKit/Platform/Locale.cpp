#include "Platform/Locale.hpp"

#include <cstdlib>

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace norvo {

namespace {

icu::UnicodeString unicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool isAlphanumeric(UChar32 c) {
    return u_hasBinaryProperty(c, UCHAR_ALPHABETIC) || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isBlank(UChar32 c) { return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR; }

template <typename Predicate>
std::string trimming(std::string_view text, Predicate isTrimmed) {
    icu::UnicodeString s = unicode(text);
    int32_t start = 0;
    int32_t end = s.length();
    while (start < end && isTrimmed(s.char32At(start))) start = s.moveIndex32(start, 1);
    while (end > start) {
        int32_t previous = s.moveIndex32(end, -1);
        if (!isTrimmed(s.char32At(previous))) break;
        end = previous;
    }
    return utf8(s.tempSubStringBetween(start, end));
}

// Break iterators are costly to build and not safe to share between threads. Each
// use sets its text first, so the alias left behind by the last use is never read.
icu::BreakIterator* characterBreaks() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(),
                                                                                             status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    return iterator.get();
}

}  // namespace

struct Locale::CaseInsensitiveOrder::Rules {
    std::unique_ptr<icu::Collator> collator;
};

Locale::Locale(std::string identifier) : identifier_(std::move(identifier)) {}

Locale Locale::current() {
    // The POSIX variables, in the order the C library reads them. ICU's own default turns
    // the "C" locale into en_US_POSIX, which would invent a region for the user.
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string text = value;
        if (text == "C" || text == "POSIX" || text.rfind("C.", 0) == 0) return Locale("");
        text = text.substr(0, text.find_first_of(".@"));
        return Locale(text);
    }
    return Locale("");
}

std::string Locale::regionCode() const {
    std::string region = icu::Locale(identifier_.c_str()).getCountry();
    if (region.size() != 2) return {};
    return uppercased(region);
}

Locale::CaseInsensitiveOrder Locale::caseInsensitiveOrder() const {
    auto rules = std::make_shared<CaseInsensitiveOrder::Rules>();
    UErrorCode status = U_ZERO_ERROR;
    rules->collator.reset(icu::Collator::createInstance(icu::Locale(identifier_.c_str()), status));
    if (U_FAILURE(status) || !rules->collator) {
        status = U_ZERO_ERROR;
        rules->collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    // Secondary strength: accents count, case does not.
    if (rules->collator) rules->collator->setStrength(icu::Collator::SECONDARY);
    return CaseInsensitiveOrder(std::move(rules));
}

int Locale::CaseInsensitiveOrder::compare(std::string_view a, std::string_view b) const {
    if (rules_->collator) {
        UErrorCode status = U_ZERO_ERROR;
        UCollationResult result =
            rules_->collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                          icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
        if (U_SUCCESS(status)) return result;
    }
    // Without collation data, code point order of the case-folded texts.
    return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT);
}

std::string Locale::uppercased(std::string_view text) { return utf8(unicode(text).toUpper(icu::Locale::getRoot())); }

std::string Locale::lowercased(std::string_view text) { return utf8(unicode(text).toLower(icu::Locale::getRoot())); }

std::string Locale::foldingDiacritics(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    icu::UnicodeString decomposed = nfd->normalize(unicode(text), status);
    if (U_FAILURE(status)) return std::string(text);
    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
        UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK) bare.append(c);
    }
    icu::UnicodeString composed = nfc->normalize(bare, status);
    return U_SUCCESS(status) ? utf8(composed) : utf8(bare);
}

std::vector<std::string> Locale::alphanumericWords(std::string_view text) {
    icu::UnicodeString s = unicode(text);
    std::vector<std::string> words;
    icu::UnicodeString word;
    auto flush = [&] {
        if (!word.isEmpty()) words.push_back(utf8(word));
        word.remove();
    };
    icu::BreakIterator* breaks = characterBreaks();
    if (!breaks) {
        // No break data: classify code point by code point.
        for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1)) {
            UChar32 c = s.char32At(i);
            if (isAlphanumeric(c)) word.append(c);
            else flush();
        }
        flush();
        return words;
    }
    breaks->setText(s);
    int32_t start = breaks->first();
    for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next()) {
        if (isAlphanumeric(s.char32At(start))) word.append(s, start, end - start);
        else flush();
    }
    flush();
    return words;
}

std::size_t Locale::characterCount(std::string_view text) {
    icu::UnicodeString s = unicode(text);
    icu::BreakIterator* breaks = characterBreaks();
    if (!breaks) return static_cast<std::size_t>(s.countChar32());
    breaks->setText(s);
    std::size_t count = 0;
    breaks->first();
    while (breaks->next() != icu::BreakIterator::DONE) ++count;
    return count;
}

std::vector<std::string> Locale::whitespaceSeparatedWords(std::string_view text) {
    icu::UnicodeString s = unicode(text);
    std::vector<std::string> words;
    int32_t start = -1;
    for (int32_t i = 0; i <= s.length(); i = i < s.length() ? s.moveIndex32(i, 1) : i + 1) {
        bool separator = i == s.length() || u_isUWhiteSpace(s.char32At(i));
        if (separator && start >= 0) {
            words.push_back(utf8(s.tempSubStringBetween(start, i)));
            start = -1;
        } else if (!separator && start < 0) {
            start = i;
        }
    }
    return words;
}

std::string Locale::trimmingWhitespace(std::string_view text) {
    return trimming(text, [](UChar32 c) { return u_isUWhiteSpace(c) != 0; });
}

std::string Locale::trimmingBlanks(std::string_view text) { return trimming(text, isBlank); }

std::string Locale::repairingUtf8(std::string_view bytes) { return utf8(unicode(bytes)); }

std::optional<std::string> Locale::englishRegionName(std::string_view code) {
    if (code.size() != 2) return std::nullopt;
    for (char c : code)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return std::nullopt;
    std::string upper = uppercased(code);
    icu::UnicodeString name;
    icu::Locale("", upper.c_str()).getDisplayCountry(icu::Locale("en", "US"), name);
    // ICU answers with the code itself when it knows no name.
    std::string text = utf8(name);
    if (text.empty() || text == upper) return std::nullopt;
    return text;
}

}  // namespace norvo
