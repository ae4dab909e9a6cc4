#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvo {

// Unicode and locale services over ICU. Texts are UTF-8; malformed bytes read as
// U+FFFD. The static operations use no locale at all, so their results do not depend
// on the user's language; the few that do (the comparison order, the region) go
// through a Locale value, which tests construct with a fixed identifier.
class Locale {
public:
    // An ICU locale identifier such as "en_US", "de_DE" or "sv".
    explicit Locale(std::string identifier);

    // The user's locale, from the process environment (LC_ALL, LC_COLLATE, LANG).
    static Locale current();

    const std::string& identifier() const { return identifier_; }
    // Two letters, upper case, or empty when the identifier names no region.
    std::string regionCode() const;

    // Orders texts case-insensitively by the rules of one language. Building the rules
    // is not cheap: make one per sort, not per comparison. Copies share the rules and
    // must stay on one thread at a time.
    class CaseInsensitiveOrder {
    public:
        // Negative, zero or positive as a sorts before, with or after b.
        int compare(std::string_view a, std::string_view b) const;
        bool operator()(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }

    private:
        friend class Locale;
        struct Rules;
        explicit CaseInsensitiveOrder(std::shared_ptr<const Rules> rules) : rules_(std::move(rules)) {}
        std::shared_ptr<const Rules> rules_;
    };
    CaseInsensitiveOrder caseInsensitiveOrder() const;

    // Full Unicode case mapping with no locale ("ß" upper-cases to "SS").
    static std::string uppercased(std::string_view text);
    static std::string lowercased(std::string_view text);
    // Removes combining marks after canonical decomposition: "Café" becomes "Cafe".
    static std::string foldingDiacritics(std::string_view text);
    // Maximal runs of user-perceived characters whose first code point is alphabetic or
    // numeric; everything else separates them.
    static std::vector<std::string> alphanumericWords(std::string_view text);
    // User-perceived characters (grapheme clusters).
    static std::size_t characterCount(std::string_view text);
    // Pieces between Unicode white space (line breaks included), empty ones dropped.
    static std::vector<std::string> whitespaceSeparatedWords(std::string_view text);
    // Unicode white space and line breaks removed from both ends.
    static std::string trimmingWhitespace(std::string_view text);
    // Only horizontal blanks (space separators and tab) removed from both ends.
    static std::string trimmingBlanks(std::string_view text);
    // The bytes as UTF-8, each ill-formed sequence replaced by U+FFFD, so that a file
    // name in another encoding can still be shown.
    static std::string repairingUtf8(std::string_view bytes);
    // The English (United States) name of a two-letter region code, or nothing when
    // ICU has no name for it.
    static std::optional<std::string> englishRegionName(std::string_view code);

private:
    std::string identifier_;
};

}  // namespace norvo
