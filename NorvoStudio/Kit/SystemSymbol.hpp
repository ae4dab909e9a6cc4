#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace norvo {

// The symbols the faces name, drawn by our own code as paths. A symbol is sized like a glyph
// of the font size it is set in; its weight becomes the stroke width of its lines.
struct SystemSymbol {
    // All symbol names known here ("play.fill", "radio", ...).
    static QStringList names();
    static bool exists(const QString& name);

    // The symbol's box when set at `pointSize` (roughly a capital letter's height plus a bit,
    // with the symbol's own aspect).
    static QSizeF size(const QString& name, qreal pointSize);
    // The stroke width of a symbol's lines at `pointSize` and `weight`.
    static qreal strokeWidth(qreal pointSize, QFont::Weight weight);

    // Draws `name` at its natural size for `pointSize`, centred on `centre`. Unknown names
    // draw nothing.
    static void paint(QPainter& painter, const QString& name, QPointF centre, qreal pointSize, QFont::Weight weight,
                      const QColor& color);
    // Draws `name` filling `box` with lines of width `stroke`.
    static void paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color, qreal stroke);

    // One function per symbol, each filling `box`.
    static void playFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void pauseFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void stopFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void ejectFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void backwardFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void forwardFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void backwardEndFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void forwardEndFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void circleFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void plus(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void power(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void arrowTriangle2Circlepath(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void lockFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void lockOpen(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void bandageFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void recordingtape(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void opticaldisc(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void musicNoteList(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void xmarkCircleFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void checkmarkCircleFill(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void magnifyingglass(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void wifiExclamationmark(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void antennaRadiowavesLeftAndRightSlash(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void radio(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void trayAndArrowDown(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void squareAndArrowDown(QPainter&, const QRectF& box, const QColor&, qreal stroke);
    static void paintpalette(QPainter&, const QRectF& box, const QColor&, qreal stroke);
};

}  // namespace norvo
