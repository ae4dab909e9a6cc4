#include "Tuner/TunerDisplayModel.hpp"

#include <QString>
#include <QTextBoundaryFinder>
#include <cmath>
#include <cstdio>

#include "Platform/Locale.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

using Kind = TunerFacade::Reception::Kind;

std::string firstCharacters(const std::string& text, int count) {
    const QString source = QString::fromStdString(text);
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, source);
    qsizetype end = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype next = characters.toNextBoundary();
        if (next < 0) break;
        end = next;
    }
    return source.left(end).toStdString();
}

// Texts from the station and its stream: cleaned, and isolated where they stand among others.
std::string plain(const std::string& text) { return ShownText::plain(text).toStdString(); }
std::string isolated(const std::string& text) { return ShownText::isolated(text).toStdString(); }

std::string threeDigits(std::size_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%03zu", value);
    return text;
}

}  // namespace

int TunerDisplayModel::bufferingCells(double fraction) {
    if (!(fraction > 0)) return 0;  // also NaN
    if (fraction >= 1) return 10;
    return static_cast<int>(std::lround(fraction * 10));
}

std::string TunerDisplayModel::bufferingText(double fraction) {
    const int filled = bufferingCells(fraction);
    std::string text = "BUFFERING  ";
    for (int i = 0; i < 10; ++i) text += i < filled ? "\u25AE" : "\u25AF";
    return text;
}

TunerDisplayModel::Line TunerDisplayModel::mainLine(const TunerFacade& tuner) {
    if (!tuner.isOn()) return {"RADIO TEXT", Ink::cyan};
    if (tuner.memoryArmed()) return {"MEMORY \u2014 PRESS A PRESET KEY 1\u20138", Ink::amber};
    if (tuner.flash()) return {*tuner.flash(), Ink::amber};
    const auto& reception = tuner.reception();
    switch (reception.kind) {
    case Kind::buffering: return {bufferingText(reception.fraction), Ink::cyan};
    case Kind::noSignal: return {"NO SIGNAL \u2014 " + Locale::uppercased(reception.message), Ink::red};
    case Kind::off:
    case Kind::standby: return {"STANDBY \u2014 PICK A STATION OR TURN THE DIAL", Ink::cyan};
    case Kind::tuning: return {"TUNING\u2026", Ink::cyan};
    case Kind::tuned: break;
    }
    if (tuner.nowPlaying()) return {"\u266A " + Locale::uppercased(isolated(*tuner.nowPlaying())), Ink::cyan};
    if (tuner.station() && !tuner.station()->tags.empty()) {
        std::string joined;
        const auto& tags = tuner.station()->tags;
        for (std::size_t i = 0; i < std::min<std::size_t>(4, tags.size()); ++i) {
            if (i > 0) joined += " \u00B7 ";
            joined += tags[i];
        }
        return {Locale::uppercased(isolated(joined)), Ink::cyan};
    }
    return {"ON AIR", Ink::cyan};
}

TunerDisplayModel::Line TunerDisplayModel::stationLine(const TunerFacade& tuner) {
    if (!tuner.isOn()) return {"STANDBY", Ink::amber};
    if (!tuner.station()) return {"NO STATION", Ink::amber};
    return {Locale::uppercased(plain(tuner.station()->name)), Ink::amber};
}

std::string TunerDisplayModel::presetText(std::optional<int> currentPresetIndex) {
    return currentPresetIndex ? std::string("P").append(std::to_string(*currentPresetIndex + 1)) : "P-";
}

std::string TunerDisplayModel::channelDigits(std::optional<int> dial, std::size_t stationCount) {
    if (stationCount == 0) return "---/---";
    const std::string left = dial && *dial >= 0 ? threeDigits(static_cast<std::size_t>(*dial) + 1) : "---";
    return left + "/" + threeDigits(stationCount);
}

std::string TunerDisplayModel::bandLabel(const TunerFacade::Query& query) {
    using QKind = TunerFacade::Query::Kind;
    switch (query.kind) {
    case QKind::country: return plain(query.text);
    case QKind::genre: return firstCharacters(Locale::uppercased(plain(query.text)), 9);
    case QKind::search: return "FIND";
    case QKind::top: break;
    }
    return "WORLD";
}

std::set<int> TunerDisplayModel::presetMarks(const TunerFacade::Presets& presets,
                                             const std::vector<RadioStation>& stations) {
    std::set<std::string> ids;
    for (const auto& slot : presets)
        if (slot) ids.insert(slot->id);
    std::set<int> marks;
    for (std::size_t i = 0; i < stations.size(); ++i)
        if (ids.count(stations[i].id)) marks.insert(static_cast<int>(i));
    return marks;
}

std::vector<TunerDisplayModel::Lamp> TunerDisplayModel::wordLamps(const TunerFacade& tuner) {
    const bool on = tuner.isOn();
    const bool tuned = tuner.reception().kind == Kind::tuned;
    return {
        {"TUNED", Ink::cyan, on && tuned},
        {"STEREO", Ink::amber, on && tuner.isStereo()},
        {"MONO", Ink::cyan, on && tuned && !tuner.isStereo()},
        {"MUTING", Ink::cyan, on && tuner.muting()},
        {"MEMORY", Ink::amber, on && tuner.memoryArmed()},
        {"RECONNECT", Ink::red, on && tuner.reconnecting()},
    };
}

std::string TunerDisplayModel::formatText(const TunerFacade& tuner) {
    if (!tuner.isOn()) return "---";
    if (tuner.streamFormat()) return plain(*tuner.streamFormat());
    if (tuner.station()) return plain(tuner.station()->formatLabel());
    return "---";
}

std::string TunerDisplayModel::countryText(const TunerFacade& tuner) {
    if (tuner.station() && !tuner.station()->countryCode.empty()) return plain(tuner.station()->countryCode);
    return "--";
}

bool TunerDisplayModel::stationLampsLit(const TunerFacade& tuner) {
    return tuner.isOn() && tuner.station().has_value();
}

bool TunerDisplayModel::blinkLit(double secondsSinceReferenceDate, double period) {
    const double periods = std::trunc(secondsSinceReferenceDate / period);
    return std::fmod(periods, 2.0) == 0;
}

}  // namespace norvo
