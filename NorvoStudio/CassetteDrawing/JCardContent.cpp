#include "JCardContent.hpp"

#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

// The card's texts may come from a file or a stream's titles: drawn cleaned (ShownText).
QString text(const std::string& s) { return ShownText::plain(s); }

}  // namespace

QStringList JCardContent::trackRows(const std::vector<std::string>& tracks) {
    QStringList rows;
    for (const auto& track : tracks) {
        if (track.empty()) continue;
        if (rows.size() == maximumTrackRows) break;
        rows << QString::number(rows.size() + 1) + QStringLiteral(". ") + ShownText::isolated(track);
    }
    return rows;
}

JCardContent JCardContent::of(const CassetteDocument& document) {
    const JCard& card = document.jcard;
    JCardContent content;
    content.flapText = text(card.flapText);
    for (const std::string* candidate : {&card.spineText, &card.title, &document.name}) {
        if (candidate->empty()) continue;
        content.spineText = text(*candidate).toUpper();
        break;
    }
    content.title = !card.title.empty()      ? text(card.title)
                    : !document.name.empty() ? text(document.name)
                                             : QStringLiteral("Untitled mixtape");
    content.subtitle = text(card.subtitle);
    content.creator = text(document.creator);
    content.sideARows = trackRows(card.sideATracks);
    content.sideBRows = trackRows(card.sideBTracks);
    content.dedication = ShownText::lines(card.dedication);
    return content;
}

}  // namespace norvo
