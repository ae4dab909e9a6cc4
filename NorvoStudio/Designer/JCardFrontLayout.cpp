#include "JCardFrontLayout.hpp"

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

    // Bottom group: side blocks, then the dedication. A gapBefore of -1 takes the column's spacing.
    std::vector<Item> bottom;
    for (const auto& [letter, rows] : {std::pair{QStringLiteral("A"), content.sideARows},
                                       std::pair{QStringLiteral("B"), content.sideBRows}}) {
        if (rows.isEmpty()) continue;
        const ScaledText heading = font(Face::heading, role);
        bottom.push_back({Face::heading, {heading.elided(QStringLiteral("SIDE ") + letter, width)},
                          heading.lineSpacing(), -1});
        const ScaledText row = font(Face::row, role);
        for (const QString& text : rows)
            bottom.push_back({Face::row, {row.elided(text, width)}, row.lineSpacing(), blockSpacing});
    }
    int dedicationLimit = dedicationLines;
    const auto dedication = [&] { return wrap(Face::dedication, content.dedication, dedicationLimit); };
    if (!content.dedication.isEmpty()) bottom.push_back(dedication());

    // Top group, shortened from the title down until it clears the bottom group.
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
    const auto fits = [&](const std::vector<Item>& upper) {
        const double bottomHeight = heightOf(bottom, spacing);
        const double gap = bottomHeight > 0 ? 2 * spacing : 0;  // spacing on both sides of the flexible space
        return heightOf(upper, spacing) + gap + bottomHeight <= area.height() + 1e-9;
    };
    const auto lineCount = [&](Face face) {
        for (const Item& item : top())
            if (item.face == face) return static_cast<int>(item.lines.size());
        return 0;
    };
    std::vector<Item> upper = top();
    while (!fits(upper)) {
        if (lineCount(Face::title) > 1) titleLimit = lineCount(Face::title) - 1;
        else if (lineCount(Face::creator) > 0) creatorLimit = lineCount(Face::creator) - 1 > 0 ? lineCount(Face::creator) - 1 : -1;
        else if (lineCount(Face::subtitle) > 0) subtitleLimit = lineCount(Face::subtitle) - 1 > 0 ? lineCount(Face::subtitle) - 1 : -1;
        else if (!bottom.empty() && bottom.back().face == Face::dedication && bottom.back().lines.size() > 1) {
            dedicationLimit = static_cast<int>(bottom.back().lines.size()) - 1;
            bottom.back() = dedication();
        } else break;  // only the title's line and the blocks are left: the clip cuts them
        upper = top();
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
    place(bottom, area.bottom() - heightOf(bottom, spacing));
    return layout;
}

}  // namespace norvo
