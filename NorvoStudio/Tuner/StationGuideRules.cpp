#include "Tuner/StationGuideRules.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cstdio>

#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

bool isBlank(char32_t c) { return c == U' ' || c == U'\t'; }

}  // namespace

std::optional<StationGuideRules::Query> StationGuideRules::submittedSearch(const std::string& text) {
    // Only blanks and tabs: a line break typed into the field is part of the search.
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && isBlank(static_cast<unsigned char>(text[end - 1]))) --end;
    if (begin == end) return std::nullopt;
    return Query::search(text.substr(begin, end - begin));
}

std::optional<StationGuideRules::Query> StationGuideRules::clearedSearch(const Query& band, const Query& home) {
    if (band.kind != Query::Kind::search) return std::nullopt;
    return home;
}

std::optional<std::string> StationGuideRules::restoredSearch(const Query& band) {
    if (band.kind != Query::Kind::search) return std::nullopt;
    return band.text;
}

std::optional<std::string> StationGuideRules::homeCountry(const Query& home) {
    if (home.kind != Query::Kind::country) return std::nullopt;
    return home.text;
}

bool StationGuideRules::worldLit(const Query& band) { return band.kind == Query::Kind::top; }

bool StationGuideRules::homeLit(const Query& band, const Query& home) {
    const auto code = homeCountry(home);
    return code && band.kind == Query::Kind::country && band.text == *code;
}

bool StationGuideRules::genreLit(const Query& band) { return band.kind == Query::Kind::genre; }

bool StationGuideRules::countryLit(const Query& band, const Query& home) {
    if (band.kind != Query::Kind::country) return false;
    const auto code = homeCountry(home);
    return !code || band.text != *code;
}

std::optional<std::string> StationGuideRules::currentGenre(const Query& band) {
    if (band.kind != Query::Kind::genre) return std::nullopt;
    return band.text;
}

std::optional<std::string> StationGuideRules::currentCountry(const Query& band) {
    if (band.kind != Query::Kind::country) return std::nullopt;
    return band.text;
}

std::optional<std::string> StationGuideRules::regionName(const std::string& code, const std::string& localeIdentifier) {
    if (code.size() != 2) return std::nullopt;
    const icu::Locale region("", code.c_str());
    const icu::Locale display(localeIdentifier.c_str());
    icu::UnicodeString name;
    region.getDisplayCountry(display, name);
    std::string result;
    name.toUTF8String(result);
    // ICU answers with the code itself when it knows no name.
    if (result.empty() || result == code) return std::nullopt;
    return result;
}

std::string StationGuideRules::homeHelp(const std::string& code, const std::string& localeIdentifier) {
    return "Stations from " + regionName(code, localeIdentifier).value_or(code);
}

std::optional<RadioStation> StationGuideRules::selectedStation(const std::optional<std::string>& selection,
                                                               const std::vector<RadioStation>& stations) {
    if (!selection) return std::nullopt;
    auto found =
        std::find_if(stations.begin(), stations.end(), [&](const RadioStation& s) { return s.id == *selection; });
    if (found == stations.end()) return std::nullopt;
    return *found;
}

std::optional<std::string> StationGuideRules::followedSelection(std::optional<int> dial,
                                                                const std::vector<RadioStation>& stations) {
    if (!dial || *dial < 0 || *dial >= static_cast<int>(stations.size())) return std::nullopt;
    return stations[static_cast<std::size_t>(*dial)].id;
}

std::optional<int> StationGuideRules::presetNumber(const RadioStation& station, const TunerFacade::Presets& presets) {
    for (std::size_t i = 0; i < presets.size(); ++i)
        if (presets[i] && presets[i]->id == station.id) return static_cast<int>(i) + 1;
    return std::nullopt;
}

bool StationGuideRules::tuned(const RadioStation& station, bool isOn, const std::optional<RadioStation>& current) {
    return isOn && current && current->id == station.id;
}

std::string StationGuideRules::rowNumber(int index) {
    char text[24];
    std::snprintf(text, sizeof text, "%03d", index + 1);
    return text;
}

std::string StationGuideRules::rowHelp(const RadioStation& station) {
    // The directory's name and tags each keep their own direction between the separators.
    std::string tags;
    for (std::size_t i = 0; i < std::min<std::size_t>(5, station.tags.size()); ++i) {
        if (i > 0) tags += ", ";
        tags += station.tags[i];
    }
    std::string help;
    for (const std::string& part :
         {ShownText::isolated(station.name).toStdString(), ShownText::isolated(tags).toStdString(),
          ShownText::plain(station.formatLabel()).toStdString()}) {
        if (part.empty()) continue;
        if (!help.empty()) help += " \u00B7 ";
        help += part;
    }
    return help;
}

std::string StationGuideRules::storeItemTitle(int slot, const TunerFacade::Presets& presets) {
    std::string title = std::string("P").append(std::to_string(slot + 1));
    if (slot >= 0 && slot < static_cast<int>(presets.size()) && presets[static_cast<std::size_t>(slot)])
        title += "  \u2014  " + ShownText::isolated(presets[static_cast<std::size_t>(slot)]->name).toStdString();
    return title;
}

bool StationGuideRules::opensWebsite(const std::optional<Url>& homepage) {
    if (!homepage) return false;
    const QString scheme = QString::fromStdString(homepage->scheme()).toLower();
    return (scheme == "http" || scheme == "https") && !homepage->host().empty();
}

std::string StationGuideRules::capitalised(const std::string& text) {
    // Word starts by Unicode word boundaries; everything else lower case.
    const QString source = QString::fromStdString(text);
    QString result;
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, source);
    qsizetype start = 0;
    while (start < source.size()) {
        qsizetype next = words.toNextBoundary();
        if (next < 0) next = source.size();
        const QString piece = source.mid(start, next - start);
        const bool isWord = (words.boundaryReasons() & QTextBoundaryFinder::EndOfItem) && !piece.isEmpty() &&
                            piece.at(0).isLetterOrNumber();
        if (isWord) {
            QTextBoundaryFinder chars(QTextBoundaryFinder::Grapheme, piece);
            qsizetype firstEnd = chars.toNextBoundary();
            if (firstEnd < 0) firstEnd = piece.size();
            result += piece.left(firstEnd).toUpper() + piece.mid(firstEnd).toLower();
        } else {
            result += piece.toLower();
        }
        start = next;
    }
    return result.toStdString();
}

}  // namespace norvo
