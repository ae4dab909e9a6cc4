#include "JCardFrontLayout.hpp"

#include <tuple>

#include "Cassette/NorvoGeometry.hpp"
#include "HandwritingFont.hpp"

namespace norvo {

namespace {

using Card = NorvoGeometry::JCard;
using Face = JCardFrontLayout::Face;

// One item of the column: its lines, all of one face.
struct Item {
    Face face;
    QStringList lines;
    double lineHeight = 0;
    double gapBefore = 0;  // inside a side block, the spacing before this item
    double height() const { return lines.size() * lineHeight; }
};

double heightOf(const std::vector<Item>& items, double spacing) {
    double total = 0;
    bool first = true;
    for (const Item& item : items) {
        if (item.lines.isEmpty()) continue;
        total += item.height() + (first ? 0 : item.gapBefore >= 0 ? item.gapBefore : spacing);
        first = false;
    }
    return total;
}

}  // namespace

QRectF JCardFrontLayout::column() {
    const double left = Card::flapWidth + Card::spineWidth;
    return QRectF(left, 0, Card::frontWidth, Card::height).adjusted(padding, padding, -padding, -padding);
}

ScaledText JCardFrontLayout::font(Face face, FontRole role) {
    switch (face) {
    case Face::title: return HandwritingFont::lettering(role, 7.0);
    case Face::subtitle: return {HandwritingFont::system(12, QFont::Medium), 3.4};
    case Face::creator: return {HandwritingFont::system(12, QFont::Normal), 3.0};
    case Face::heading: return {HandwritingFont::system(12, QFont::ExtraBold, QFont::Expanded), 2.4};
    case Face::row: return {HandwritingFont::system(12, QFont::Normal), 2.8};
    case Face::dedication: return HandwritingFont::lettering(role, 3.0);
    }
    return {HandwritingFont::system(12), 3.0};
}

double JCardFrontLayout::opacity(Face face) {
    switch (face) {
    case Face::creator: return 0.8;
    case Face::heading: return 0.7;
    case Face::dedication: return 0.85;
    default: return 1.0;
    }
}

JCardFrontLayout JCardFrontLayout::make(const JCardContent& content, FontRole role) {
    const QRectF area = column();
    const double width = area.width();
    const auto wrap = [&](Face face, const QString& text, int maxLines) {
        const ScaledText f = font(face, role);
        return Item{face, f.wrapped(text, width, maxLines), f.lineSpacing(), -1};
    };
    const auto shown = [](const std::vector<Item>& items, Face face) {
        for (const Item& item : items)
            if (item.face == face) return int(item.lines.size());
        return 0;
    };

    // The tape's identity from the top: title, subtitle, creator. A limit of 0 takes
    // every line the text needs, -1 leaves the item out.
    int titleLimit = titleLines;
    int subtitleLimit = 0;
    int creatorLimit = 0;
    const auto top = [&] {
        std::vector<Item> items{wrap(Face::title, content.title, titleLimit)};
        if (!content.subtitle.isEmpty() && subtitleLimit >= 0)
            items.push_back(wrap(Face::subtitle, content.subtitle, subtitleLimit));
        if (!content.creator.isEmpty() && creatorLimit >= 0)
            items.push_back(wrap(Face::creator, content.creator, creatorLimit));
        return items;
    };

    // Against the bottom: the side blocks, then the dedication (none at a limit of 0).
    // A gapBefore of -1 takes the column's spacing.
    qsizetype rowsA = content.sideARows.size();
    qsizetype rowsB = content.sideBRows.size();
    int dedicationLimit = content.dedication.isEmpty() ? 0 : dedicationLines;
    const auto bottom = [&] {
        std::vector<Item> items;
        const ScaledText heading = font(Face::heading, role);
        const ScaledText row = font(Face::row, role);
        for (const auto& [letter, rows, count] : {std::tuple{QStringLiteral("A"), &content.sideARows, rowsA},
                                                  std::tuple{QStringLiteral("B"), &content.sideBRows, rowsB}}) {
            if (count == 0) continue;
            items.push_back(
                {Face::heading, {heading.elided(QStringLiteral("SIDE ") + letter, width)}, heading.lineSpacing(), -1});
            for (qsizetype i = 0; i < count; ++i)
                items.push_back({Face::row, {row.elided(rows->at(i), width)}, row.lineSpacing(), blockSpacing});
        }
        if (dedicationLimit > 0) items.push_back(wrap(Face::dedication, content.dedication, dedicationLimit));
        return items;
    };

    const auto fits = [&](const std::vector<Item>& upper, const std::vector<Item>& lower) {
        const double lowerHeight = heightOf(lower, spacing);
        const double gap = lowerHeight > 0 ? 2 * spacing : 0;  // spacing on both sides of the flexible space
        return heightOf(upper, spacing) + gap + lowerHeight <= area.height() + 1e-9;
    };
    // A full card keeps the tape's identity: what gives way is at the bottom, the
    // dedication's lines from its last, then the last rows of the longer list (side B's
    // on a tie). Only a card whose identity alone is too tall shortens that.
    std::vector<Item> upper = top();
    std::vector<Item> lower = bottom();
    while (!fits(upper, lower)) {
        if (const int lines = shown(lower, Face::dedication); lines > 0) dedicationLimit = lines - 1;
        else if (rowsB > 0 && rowsB >= rowsA) --rowsB;
        else if (rowsA > 0) --rowsA;
        else if (const int lines = shown(upper, Face::creator); lines > 0) creatorLimit = lines > 1 ? lines - 1 : -1;
        else if (const int lines = shown(upper, Face::subtitle); lines > 0) subtitleLimit = lines > 1 ? lines - 1 : -1;
        else if (const int lines = shown(upper, Face::title); lines > 1) titleLimit = lines - 1;
        else break;  // one line of title is left: the clip cuts it
        upper = top();
        lower = bottom();
    }

    JCardFrontLayout layout;
    const auto place = [&](const std::vector<Item>& items, double y) {
        bool first = true;
        for (const Item& item : items) {
            if (item.lines.isEmpty()) continue;
            if (!first) y += item.gapBefore >= 0 ? item.gapBefore : spacing;
            first = false;
            for (const QString& line : item.lines) {
                layout.lines.push_back({item.face, line, QRectF(area.left(), y, width, item.lineHeight)});
                y += item.lineHeight;
            }
        }
    };
    place(upper, area.top());
    place(lower, area.bottom() - heightOf(lower, spacing));
    return layout;
}

}  // namespace norvo
