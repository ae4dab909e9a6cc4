#pragma once
#include "LED.hpp"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>

namespace norvo {

// What is printed on a key. The key decides the ink and the default font; the label arranges
// its parts: a caption alone, a symbol above a caption (spacing 3), or a lamp before a caption
// (spacing 6). A caption longer than the key is cut with an ellipsis, on one line. Symbols
// differ in height: each is centred on a line as tall as the size it is set at, so the captions
// of a row of keys stand on one baseline.
struct KeyLabel {
    QString text;               // verbatim
    QString symbol;             // a SystemSymbol name drawn above the text; empty for none
    qreal symbolSize = 10;      // the symbol is set at this size, bold
    std::optional<QFont> font;  // the caption's own font; absent: the key's font
    std::optional<LED> lamp;    // a lamp before the caption, in its own colours
    // Draws everything itself when set (centred content in `frame`, with the key's ink and font).
    std::function<void(QPainter&, const QRectF& frame, const QColor& ink, const QFont& keyFont)> custom;
    // Size of `custom` content for layout; empty means the whole frame.
    QSizeF customSize;

    static KeyLabel caption(QString text);
    static KeyLabel symbolAbove(QString symbol, QString text, std::optional<QFont> font = std::nullopt);
    static KeyLabel lampBefore(LED lamp, QString text);

    QSizeF sizeHint(const QFont& keyFont) const;
    // Draws the label centred in `frame`; a key that cannot be pressed now draws it dimmed.
    void paint(QPainter& painter, const QRectF& frame, const QColor& ink, const QFont& keyFont,
               bool enabled = true) const;
};

}  // namespace norvo
