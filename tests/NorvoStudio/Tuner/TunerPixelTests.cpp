// Properties of the tuner's lettering as drawn: pictures at twice the design size, measured
// against the same text set in whole pixels at that size.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Tuner/CountryPicker.hpp"
#include "Tuner/FlagEmoji.hpp"
#include "Tuner/StationRow.hpp"
#include "Tuner/TuningKnob.hpp"

namespace norvo {
namespace {

QImage blackImage(QSize size, qreal ratio = 1.0) {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

// Pixels of grey or white ink: not black, and no channel far from the others (the cyan and amber
// of numbers, badges and counts, and the colours of a flag, are left out).
bool greyInk(QRgb p) {
    const int high = std::max({qRed(p), qGreen(p), qBlue(p)}), low = std::min({qRed(p), qGreen(p), qBlue(p)});
    return high > 90 && high - low < 24;
}

// The leftmost and rightmost columns that hold grey ink, or {-1, -1}.
std::pair<int, int> greyColumns(const QImage& image) {
    int left = -1, right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (greyInk(image.pixel(x, y))) {
                if (left < 0 || x < left) left = x;
                right = std::max(right, x);
            }
    return {left, right};
}

// `text` in `font` and `ink` at 1x with its origin at `x`, as the reference for a half size drawn at 2x.
std::pair<int, int> referenceColumns(const QFont& font, const QColor& ink, const QString& text, qreal x, QSize size) {
    QImage image = blackImage(size);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font);
        p.setPen(ink);
        p.drawText(QPointF(x, size.height() * 0.75), text);
    }
    return greyColumns(image);
}

// Sizes with half a point are drawn at that size, not at the next whole one: at 2x the tuning
// knob's 7.5 label is the 15-pixel one, and the station and country names at 11.5 the 23-pixel
// ones, placed after a flag of that size too.
TEST(HalfPointSizes, TheTuningLabelAndTheStationAndCountryNamesAreDrawnAtTheirSize) {
    {
        Haptics haptics;
        TuningKnob knob(52, 0, haptics);
        QImage image = blackImage(knob.size(), 2.0);
        knob.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const int labelTop = int(std::ceil(knob.knobRect().bottom() + 2)) * 2;
        const auto [left, right] = greyColumns(image.copy(0, labelTop, image.width(), image.height() - labelTop));
        const auto [refLeft, refRight] =
            referenceColumns(KitFont::system(15, QFont::DemiBold, KitFont::Width::expanded), KitColor::silkscreenLight,
                             "TUNING", 10, QSize(240, 40));
        ASSERT_GE(left, 0);
        EXPECT_NEAR(right - left, refRight - refLeft, 1.5) << "TUNING";
    }
    {
        const QString name = QStringLiteral("Deutschlandfunk Kultur");
        StationRow shown{.index = 1, .station = test::makeStation(1), .tuned = false, .preset = 3, .showCountry = true};
        shown.station.name = name.toStdString();
        QImage image = blackImage(QSize(400, int(StationRow::height)), 2.0);
        {
            QPainter p(&image);
            shown.paint(p, QRectF(0, 0, 400, StationRow::height));
        }
        const auto [left, right] = greyColumns(image);
        const auto [refLeft, refRight] =
            referenceColumns(KitFont::system(23), KitColor::white(0.85), name, 10, QSize(600, 50));
        ASSERT_GE(left, 0);
        EXPECT_NEAR(right - left, refRight - refLeft, 1.5) << "station name";
    }
    {
        const CountryPicker::Country country{"BA", "Bosnia and Herzegovina", 12};
        QImage image = blackImage(QSize(290, int(CountryPicker::rowHeight)), 2.0);
        {
            QPainter p(&image);
            constexpr bool unselected = false;
            CountryPicker::paintRow(p, QRectF(0, 0, 290, CountryPicker::rowHeight), country, unselected);
        }
        // The flag may hold white: the name's end, after the flag and the gap of 8, is measured.
        const QString flag = QString::fromStdString(flagEmoji(country.code));
        const qreal nameX = 2 * 2 + QFontMetricsF(KitFont::emoji(23)).horizontalAdvance(flag) + 2 * 8;
        const int right = greyColumns(image).second;
        const int refRight = referenceColumns(KitFont::system(23), KitColor::white(0.88),
                                              QString::fromStdString(country.name), nameX, QSize(600, 50))
                                 .second;
        EXPECT_NEAR(right, refRight, 1.5) << "country name";
    }
}

}  // namespace
}  // namespace norvo
