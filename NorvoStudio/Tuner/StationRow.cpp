#include "Tuner/StationRow.hpp"

#include "Kit/ExactFont.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "StudioModel/ShownText.hpp"
#include "Tuner/StationGuideRules.hpp"

namespace norvo {

QString StationRow::help() const { return QString::fromStdString(StationGuideRules::rowHelp(station)); }

std::vector<std::pair<QString, QColor>> StationRow::badgeItems() const {
    std::vector<std::pair<QString, QColor>> items;
    if (preset) items.push_back({QStringLiteral("P%1").arg(*preset), KitColor::faded(KitColor::amber, 0.85)});
    if (showCountry && !station.countryCode.empty())
        items.push_back({ShownText::plain(station.countryCode), KitColor::faded(KitColor::displayCyan, 0.45)});
    items.push_back({ShownText::plain(station.formatLabel()), KitColor::faded(KitColor::displayCyan, 0.55)});
    return items;
}

QStringList StationRow::badges() const {
    QStringList list;
    for (const auto& item : badgeItems()) list << item.first;
    return list;
}

void StationRow::paint(QPainter& painter, const QRectF& rect) const {
    painter.save();
    const qreal centreY = rect.center().y();
    auto drawText = [&](const ExactFont& font, const QColor& ink, const QString& text, qreal x, qreal width) {
        painter.setPen(ink);
        const qreal baseline = centreY + (font.ascent() - font.descent()) / 2;
        font.draw(painter, QPointF(x, baseline), font.elided(text, width));
    };
    const auto monospaced = [](qreal size) { return KitFont::monospaced(size, QFont::Medium); };

    // Badges from the trailing edge, each with the row's spacing before it.
    const ExactFont badgeFont(8, monospaced);
    qreal right = rect.right();
    const auto items = badgeItems();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const qreal width = badgeFont.horizontalAdvance(it->first);
        right -= width;
        drawText(badgeFont, it->second, it->first, right, width + 1);
        right -= spacing;
    }

    const ExactFont numberFont(10, monospaced);
    const QString number = QString::fromStdString(StationGuideRules::rowNumber(index));
    const qreal numberWidth = numberFont.horizontalAdvance(number);
    drawText(numberFont, KitColor::faded(KitColor::displayCyan, 0.6), number, rect.left(), numberWidth + 1);

    // The name takes what is left, keeping the badges' minimum gap of 4.
    const qreal nameX = rect.left() + numberWidth + spacing;
    const qreal nameWidth = std::max<qreal>(0, right + spacing - 4 - nameX);
    const ExactFont nameFont(11.5,
                             [&](qreal size) { return KitFont::system(size, tuned ? QFont::Bold : QFont::Normal); });
    drawText(nameFont, tuned ? KitColor::amber : KitColor::white(0.85), ShownText::isolated(station.name), nameX,
             nameWidth);
    painter.restore();
}

}  // namespace norvo
