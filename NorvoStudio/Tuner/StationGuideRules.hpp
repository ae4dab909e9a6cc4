#pragma once
#include <optional>
#include <string>
#include <vector>

#include "Tuner/TunerFacade.hpp"

namespace norvo {

// What the station guide decides, apart from drawing: which band a key or a search
// loads, what a row shows, which items its menu offers.
struct StationGuideRules {
    using Query = TunerFacade::Query;

    // The band a submitted search loads: the text without blanks and tabs at its ends
    // (line breaks stay); nothing when that leaves no text.
    static std::optional<Query> submittedSearch(const std::string& text);
    // The band that clearing the search loads: the home band after a search band,
    // nothing for any other band.
    static std::optional<Query> clearedSearch(const Query& band, const Query& home);
    // The text the search field shows when the guide appears over this band.
    static std::optional<std::string> restoredSearch(const Query& band);

    // The home country's code, when the home band is a country.
    static std::optional<std::string> homeCountry(const Query& home);
    static bool worldLit(const Query& band);
    static bool homeLit(const Query& band, const Query& home);
    static bool genreLit(const Query& band);
    static bool countryLit(const Query& band, const Query& home);
    // The tag the genre picker lights, and the code the country picker marks.
    static std::optional<std::string> currentGenre(const Query& band);
    static std::optional<std::string> currentCountry(const Query& band);
    // "Stations from " and the region's name in the locale (the code when it has none).
    static std::string homeHelp(const std::string& code, const std::string& localeIdentifier);
    static std::optional<std::string> regionName(const std::string& code, const std::string& localeIdentifier);

    // The station the list's Return tunes: the first of the band with the selected id.
    static std::optional<RadioStation> selectedStation(const std::optional<std::string>& selection,
                                                       const std::vector<RadioStation>& stations);
    // The row a new dial position selects; nothing for no position or one off the band.
    static std::optional<std::string> followedSelection(std::optional<int> dial,
                                                        const std::vector<RadioStation>& stations);

    // The number 1-8 of the first slot holding the station, by id.
    static std::optional<int> presetNumber(const RadioStation& station, const TunerFacade::Presets& presets);
    static bool tuned(const RadioStation& station, bool isOn, const std::optional<RadioStation>& current);
    static bool showsCountry(const Query& band) { return band.kind != Query::Kind::country; }
    // "001", "042", "1000".
    static std::string rowNumber(int index);
    // Name, first five tags, format: the non-empty ones joined with " · ".
    static std::string rowHelp(const RadioStation& station);
    // "P3", or "P3  —  Name" for a used slot.
    static std::string storeItemTitle(int slot, const TunerFacade::Presets& presets);
    // A directory's homepage is any URL; only a web address is handed to the browser.
    static bool opensWebsite(const std::optional<Url>& homepage);

    // "No Directory — Check The Internet Connection".
    static std::string capitalised(const std::string& text);
};

}  // namespace norvo
