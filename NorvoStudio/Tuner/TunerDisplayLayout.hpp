#pragma once
#include <QRectF>
#include <QSizeF>
#include <cmath>

namespace norvo {

// The rows of the RO-01 display, in points: captions, station name, main line, annunciators,
// dial and meters, top to bottom, 7 apart, so that a row and its glow never share pixels
// with a neighbour.
struct TunerDisplayLayout {
    static constexpr qreal designWidth = 404;
    static constexpr qreal rowSpacing = 7;
    static constexpr qreal stationHeight = 24;
    static constexpr qreal mainHeight = 15;
    static constexpr qreal badgePadding = 6;  // around "RT"
    static constexpr qreal badgeSpacing = 7;

    // The heights the rows take from their lettering and their parts.
    struct Measures {
        qreal captionHeight = 0;  // a caption over its value
        qreal lampHeight = 0;     // a line of annunciator words
        QSizeF badgeText;         // "RT"
        qreal dialHeight = 0;
        qreal meterHeight = 0;  // one meter bar
    };

    QRectF content;
    QRectF captions, station, main, annunciators, dial, meters;
    QRectF badge, mainText;  // inside `main`: the "RT" badge and the text after it

    // The display's height: its rows and the spaces between them, in whole points.
    static qreal height(const Measures& m) {
        const qreal rows = m.captionHeight + stationHeight + mainHeight + m.lampHeight + m.dialHeight +
                           2 * m.meterHeight + 4 + 5 * rowSpacing;
        return std::ceil(rows);
    }

    // The rows from the top of `content`, each as wide as it.
    TunerDisplayLayout(const QRectF& content, const Measures& m) : content(content) {
        qreal y = content.top();
        auto row = [&](qreal h) {
            QRectF rect(content.left(), y, content.width(), h);
            y += h + rowSpacing;
            return rect;
        };
        captions = row(m.captionHeight);
        station = row(stationHeight);
        main = row(mainHeight);
        badge = QRectF(main.left(), main.center().y() - m.badgeText.height() / 2, m.badgeText.width() + badgePadding,
                       m.badgeText.height());
        mainText = QRectF(badge.right() + badgeSpacing, main.top(), main.right() - badge.right() - badgeSpacing,
                          main.height());
        annunciators = row(m.lampHeight);
        dial = row(m.dialHeight);
        meters = row(2 * m.meterHeight + 4);
    }
};

}  // namespace norvo
