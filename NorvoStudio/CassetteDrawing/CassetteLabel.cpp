#include "CassetteLabel.hpp"

#include <QLinearGradient>
#include <QPainterPath>
#include <algorithm>

#include "Cassette/NorvoGeometry.hpp"
#include "ContinuousCorners.hpp"
#include "HandwritingFont.hpp"
#include "KraftFlecks.hpp"
#include "ScaledText.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

using Label = NorvoGeometry::Label;

QPointF labelPoint(double x, double y) { return {Label::origin.x + x, Label::origin.y + y}; }

QRectF labelRect(const NorvoGeometry::Rect& r) {
    return {Label::origin.x + r.x, Label::origin.y + r.y, r.width, r.height};
}

QPen pen(const QColor& color, double width) {
    QPen p(color, width);
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    return p;
}

}  // namespace

QColor CassetteLabel::color(const RGBAColor& c, double opacity) {
    return QColor::fromRgbF(static_cast<float>(std::clamp(c.red, 0.0, 1.0)),
                            static_cast<float>(std::clamp(c.green, 0.0, 1.0)),
                            static_cast<float>(std::clamp(c.blue, 0.0, 1.0)),
                            static_cast<float>(std::clamp(c.alpha * opacity, 0.0, 1.0)));
}

QString CassetteLabel::badgeText(const CassetteType& type) { return QString::fromStdString(type.description()); }

void CassetteLabel::drawArtwork(QPainter& painter, double scale, const CassetteDocument& document, TapeSide side) {
    const CassetteDesign& design = document.design;
    const auto paper = [&](double a) { return color(design.labelColor, a); };
    const auto ink = [&](double a) { return color(design.inkColor, a); };
    const auto accent = [&](double a) { return color(design.accentColor, a); };
    const double pt = 1.0 / scale;  // one pixel in millimetres
    const QRectF label(Label::origin.x, Label::origin.y, Label::width, Label::height);

    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillRect(label, paper(1));

    switch (design.labelStyle) {
    case LabelStyle::ruled: {
        painter.fillRect(QRectF(label.left(), label.top(), label.width(), 2.2), accent(1));
        const double left = Label::titleBox.x;
        const double right = Label::titleBox.x + Label::titleBox.width;
        painter.setPen(pen(ink(0.25), 0.7 * pt));
        for (double y : Label::ruledLines) painter.drawLine(labelPoint(left, y), labelPoint(right, y));
        painter.setPen(Qt::NoPen);
        break;
    }
    case LabelStyle::stripes: {
        const QColor fills[4] = {accent(1), accent(0.75), ink(0.85), accent(0.5)};
        for (int i = 0; i < 4; ++i)
            painter.fillRect(QRectF(labelPoint(0, Label::bottomBand.y + 2.2 * i), QSizeF(Label::width, 1.6)), fills[i]);
        break;
    }
    case LabelStyle::kraft: {
        // Laid out in pixels so that only their spread follows the cassette's size.
        const QRectF pixels(label.left() * scale, label.top() * scale, label.width() * scale, label.height() * scale);
        const QColor fleck = QColor::fromRgbF(0, 0, 0, 0.09f);
        for (const QRectF& r : KraftFlecks::layout(pixels))
            painter.fillRect(QRectF(r.x() * pt, r.y() * pt, r.width() * pt, r.height() * pt), fleck);
        break;
    }
    case LabelStyle::gradient: {
        const QRectF band = labelRect(Label::bottomBand);
        QLinearGradient gradient(band.left(), 0, band.right(), 0);
        gradient.setColorAt(0, accent(1));
        gradient.setColorAt(0.5, QColor::fromRgbF(1, 0.35f, 0.55f));
        gradient.setColorAt(1, QColor::fromRgbF(1, 0.85f, 0.4f));
        painter.fillRect(band, gradient);
        break;
    }
    case LabelStyle::plain: break;
    }

    // Framed side letter.
    const QRectF letterBox = labelRect(Label::sideLetterBox);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen(ink(0.8), std::max(0.25, 0.8 * pt)));
    painter.drawPath(ContinuousCorners::roundedRect(letterBox, 0.6));
    painter.setPen(ink(1));
    const ScaledText letterFont(HandwritingFont::system(12, QFont::ExtraBold), 6.2);
    const QString letterText = QString::fromStdString(letter(side));
    letterFont.drawInBox(painter,
                         {letterBox.center().x() - letterFont.width(letterText) / 2,
                          letterBox.center().y() - letterFont.height() / 2},
                         letterText);

    // Type badge, right-aligned in its box; on the coloured band it is lettered in paper.
    const bool onBand = design.labelStyle == LabelStyle::stripes || design.labelStyle == LabelStyle::gradient;
    const QRectF badge = labelRect(Label::typeBadge);
    const ScaledText badgeFont(HandwritingFont::system(12, QFont::ExtraBold, QFont::Expanded), 3.6);
    const QString badgeString = badgeText(document.type);
    painter.setPen(onBand ? paper(0.9) : ink(0.9));
    badgeFont.drawInBox(painter,
                        {badge.right() - badgeFont.width(badgeString), badge.center().y() - badgeFont.height() / 2},
                        badgeString);

    // Title and side title sit on their lines at their natural size.
    const QString title = ShownText::plain(document.name);
    if (!title.isEmpty()) {
        const ScaledText titleFont = HandwritingFont::lettering(design.labelFont, 5.4);
        const QPointF bottomLeft = labelPoint(Label::titleBox.x, Label::titleBox.y + Label::titleBox.height - 0.6);
        painter.setPen(ink(1));
        titleFont.draw(painter, {bottomLeft.x(), bottomLeft.y() - titleFont.descent()}, title);
    }
    const QString subtitle = ShownText::plain(document.side(side).title);
    if (!subtitle.isEmpty()) {
        const ScaledText subtitleFont = HandwritingFont::lettering(design.labelFont, 3.6);
        const QPointF bottomLeft =
            labelPoint(Label::subtitleBox.x, Label::subtitleBox.y + Label::subtitleBox.height - 0.3);
        painter.setPen(ink(0.85));
        subtitleFont.draw(painter, {bottomLeft.x(), bottomLeft.y() - subtitleFont.descent()}, subtitle);
    }
    painter.restore();
}

}  // namespace norvo
