#include "Kit/BrushedMetal.hpp"
#include "Kit/FLMeterScale.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/HardwareKey.hpp"
#include "Kit/HoldKey.hpp"
#include "Kit/KeyCap.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/Knob.hpp"
#include "Kit/LED.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/SilverKey.hpp"
#include "Kit/SystemSymbol.hpp"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace norvo {
namespace {

QImage blackImage(QSize size, qreal ratio = 1.0) {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

// The widget as it paints itself over a transparent background.
QImage grabbed(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Grey level (0..1) at a point of a widget grab.
double greyAt(const QImage& image, QPoint p) { return image.pixelColor(p).redF(); }

TEST(LEDPixels, OnIsFullColourAndGlowsOffIsDimWithoutGlow) {
    for (double ratio : {1.0, 2.0}) {
        QImage on = blackImage(QSize(40, 40), ratio), off = blackImage(QSize(40, 40), ratio);
        {
            QPainter p(&on);
            LED{.on = true, .color = KitColor::ledRed, .size = 10}.paintCentred(p, QPointF(20, 20));
        }
        {
            QPainter p(&off);
            LED{.on = false, .color = KitColor::ledRed, .size = 10}.paintCentred(p, QPointF(20, 20));
        }
        // Below the highlight, towards the lower right, the fill shows through.
        const QPoint fill = QPoint(22, 22) * ratio;
        EXPECT_GT(on.pixelColor(fill).red(), 220) << ratio;
        EXPECT_LT(on.pixelColor(fill).green(), 130) << ratio;
        EXPECT_NEAR(off.pixelColor(fill).red(), 0.18 * 255, 25) << ratio;
        const QPoint outside = QPoint(20, 28) * ratio;  // 3 points beyond the ring
        EXPECT_GT(on.pixelColor(outside).red(), 25) << "glow around a lit lamp";
        EXPECT_EQ(off.pixelColor(outside).red(), 0) << "no glow when off";
    }
}

TEST(KeyCapPixels, UpIsLightAboveDownIsDarkAboveAndSunk) {
    HardwareKey up(HardwareKeyStyle{.width = 64, .height = 38}, KeyLabel::caption("STOP"));
    HardwareKey down(HardwareKeyStyle{.latched = true, .width = 64, .height = 38}, KeyLabel::caption("STOP"));
    up.resize(up.sizeHint());
    down.resize(down.sizeHint());
    const QImage a = grabbed(up), b = grabbed(down);
    const QRect key = up.keyRect();
    const int x = key.left() + 6;
    // Released: 0.32 at the top to 0.16 at the bottom.
    EXPECT_NEAR(greyAt(a, QPoint(x, key.top() + 3)), 0.31, 0.04);
    EXPECT_NEAR(greyAt(a, QPoint(x, key.bottom() - 3)), 0.17, 0.04);
    // Down: 0.13 at the top to 0.2 at the bottom, 1.5 points lower.
    EXPECT_NEAR(greyAt(b, QPoint(x, key.top() + 5)), 0.14, 0.04);
    EXPECT_NEAR(greyAt(b, QPoint(x, key.bottom() - 2)), 0.2, 0.04);
    EXPECT_LT(b.pixelColor(x, key.top()).alpha(), 200) << "the sunk key leaves its top edge";
    // The deep shadow under a released key, a shallow one under a pressed key.
    const QPoint below(key.center().x(), key.bottom() + 3);
    EXPECT_GT(a.pixelColor(below).alpha(), b.pixelColor(below).alpha() + 40);
}

TEST(KeyCapPixels, CaptionTakesTheAccentInBothLooks) {
    for (bool latched : {false, true}) {
        HardwareKey key(HardwareKeyStyle{latched, KitColor::ledRed, 64, 38}, KeyLabel::caption("REC"));
        key.resize(key.sizeHint());
        const QImage image = grabbed(key);
        int reddest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                reddest = std::max(reddest, c.red() - c.green());
            }
        EXPECT_GT(reddest, 150) << latched;
    }
}

TEST(KeyCapPixels, CaptionWithoutAccentIsWhite85) {
    for (bool latched : {false, true}) {
        HardwareKey key(HardwareKeyStyle{latched, std::nullopt, 64, 38}, KeyLabel::caption("STOP"));
        key.resize(key.sizeHint());
        const QImage image = grabbed(key);
        int brightest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                EXPECT_LE(std::abs(c.red() - c.blue()), 2);
                brightest = std::max(brightest, c.red());
            }
        EXPECT_NEAR(brightest, 0.85 * 255, 6) << latched;
    }
}

TEST(SilverKeyPixels, PressedCapInvertsAndSinksOnePoint) {
    SilverKey released(SilverKeyStyle{.width = 56}, KeyLabel::caption(""));
    SilverKey pressed(SilverKeyStyle{.width = 56}, KeyLabel::caption(""));
    released.resize(released.sizeHint());
    pressed.resize(pressed.sizeHint());
    pressed.setDown(true);
    const QImage a = grabbed(released), b = grabbed(pressed);
    const QRect key = released.keyRect();
    EXPECT_EQ(key.size(), QSize(56, 36));
    const int x = key.left() + 8;
    EXPECT_GT(greyAt(a, QPoint(x, key.top() + 2)), greyAt(a, QPoint(x, key.bottom() - 2)));
    EXPECT_LT(greyAt(b, QPoint(x, key.top() + 3)), greyAt(b, QPoint(x, key.bottom() - 1)));
    EXPECT_NEAR(greyAt(a, QPoint(x, key.top() + 2)), 0.94, 0.04);
    EXPECT_NEAR(greyAt(b, QPoint(x, key.top() + 3)), 0.71, 0.04);
}

TEST(SilverKeyPixels, LitInkIsGreen) {
    SilverKey lit(SilverKeyStyle{.width = 74, .lit = true},
                  KeyLabel::symbolAbove("pause.fill", "PLAY/PAUSE", SilverKeyStyle::font()));
    lit.resize(lit.sizeHint());
    const QImage image = grabbed(lit);
    int greenest = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            greenest = std::max(greenest, c.green() - c.red());
        }
    EXPECT_GT(greenest, 50);
}

TEST(MiniKeyPixels, FillsTheGivenWidthAndGlowsOnlyWhenLit) {
    QWidget parent;
    MiniKey lit(MiniKeyStyle{.lit = true}, KeyLabel::caption("JAZZ"), &parent), unlit("JAZZ", &parent);
    lit.setKeyGeometry(QRect(0, 0, 90, 20));
    unlit.setKeyGeometry(QRect(0, 0, 90, 20));
    EXPECT_EQ(lit.keyRect().size(), QSize(90, 20));
    const QImage a = grabbed(lit), b = grabbed(unlit);
    int amber = 0, grey = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            amber = std::max(amber, a.pixelColor(x, y).red() - a.pixelColor(x, y).blue());
            grey = std::max(grey, b.pixelColor(x, y).red() - b.pixelColor(x, y).blue());
        }
    EXPECT_GT(amber, 100);
    EXPECT_LT(grey, 10) << "unlit lettering is white 0.8, no amber glow";
}

// How far the lettering inside `area` stands out from the surface at its left edge, row by row
// (so a vertical gradient of the cap does not count).
double letteringContrast(const QImage& image, const QRect& area) {
    double most = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const double surface = image.pixelColor(area.left(), y).lightnessF();
        for (int x = area.left(); x <= area.right(); ++x)
            most = std::max(most, std::abs(image.pixelColor(x, y).lightnessF() - surface));
    }
    return most;
}

QImage overBlack(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.convertToFormat(QImage::Format_ARGB32);
}

struct DisabledCase {
    const char* name;
    std::function<QWidget*()> make;
    std::function<QRect(QWidget&)> lettering;  // where the lettering is, its left column bare surface
};

void PrintTo(const DisabledCase& c, std::ostream* os) { *os << c.name; }

class DisabledControl : public ::testing::TestWithParam<DisabledCase> {};

// A control that cannot be used keeps its body and dims its lettering; its cached picture
// follows the enabled state both ways.
TEST_P(DisabledControl, DimsItsLetteringAndKeepsItsBody) {
    std::unique_ptr<QWidget> control(GetParam().make());
    const QRect area = GetParam().lettering(*control);
    const QImage enabled = overBlack(*control);
    control->setEnabled(false);
    const QImage disabled = overBlack(*control);
    control->setEnabled(true);
    const QImage again = overBlack(*control);

    const double bright = letteringContrast(enabled, area), dim = letteringContrast(disabled, area);
    EXPECT_GT(bright, 0.3);
    EXPECT_NEAR(dim / bright, KitColor::disabledOpacity, 0.12) << bright << " " << dim;
    for (int y = area.top(); y <= area.bottom(); ++y)
        EXPECT_EQ(enabled.pixel(area.left(), y), disabled.pixel(area.left(), y)) << "the body stays, row " << y;
    EXPECT_EQ(again, enabled);
}

QRect keyInterior(QWidget& w) {
    const QRect key = static_cast<KeyButton&>(w).keyRect();
    return key.adjusted(3, 3, -3, -3);
}

INSTANTIATE_TEST_SUITE_P(
    Kit, DisabledControl,
    ::testing::Values(
        DisabledCase{"hardware",
                     [] {
                         auto* key = new HardwareKey(HardwareKeyStyle{}, KeyLabel::symbolAbove("eject.fill", "EJECT"));
                         key->resize(key->sizeHint());
                         return key;
                     },
                     keyInterior},
        DisabledCase{"latchedInput",
                     [] {
                         auto* key = new HardwareKey(
                             HardwareKeyStyle{
                                 .latched = true, .accent = KitColor::white(0.95), .width = 128, .height = 26},
                             KeyLabel::lampBefore(LED{.on = true, .color = KitColor::amber, .size = 6}, "TUNER"));
                         key->resize(key->sizeHint());
                         return key;
                     },
                     [](QWidget& w) { return keyInterior(w).adjusted(0, 2, 0, 0); }},
        DisabledCase{"hold",
                     [] {
                         auto* key = new HoldKey(KeyLabel::symbolAbove("backward.fill", "REW"), 64);
                         key->resize(key->sizeHint());
                         return key;
                     },
                     [](QWidget& w) { return static_cast<HoldKey&>(w).keyRect().adjusted(3, 3, -3, -3); }},
        DisabledCase{"silver",
                     [] {
                         auto* key = new SilverKey(SilverKeyStyle{.width = 56},
                                                   KeyLabel::symbolAbove("plus", "OPEN", SilverKeyStyle::font()));
                         key->resize(key->sizeHint());
                         return key;
                     },
                     keyInterior},
        DisabledCase{"mini",
                     [] {
                         auto* key = new MiniKey(MiniKeyStyle{.lit = true}, KeyLabel::caption("JAZZ"));
                         key->setKeyGeometry(QRect(0, 0, 86, 20));
                         return key;
                     },
                     keyInterior},
        DisabledCase{"knob",
                     [] {
                         auto* knob = new Knob("OUTPUT", 0.8, 40, Lettering::light);
                         knob->resize(knob->sizeHint());
                         return knob;
                     },
                     [](QWidget& w) {
                         const QRect layout = static_cast<Knob&>(w).layoutRect();
                         return QRect(0, layout.top() + 40 + 2, w.width(), layout.bottom() - layout.top() - 40 - 1);
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// The lowest row of `image` with lettering in it (in device pixels).
int lowestInkRow(const QImage& image) {
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).red() > 128) return y;
    return -1;
}

// Symbols differ in height; the captions under them must not follow: keys of one row show their
// captions on one baseline (at 2x, so half a point shows as a pixel).
TEST(KeyLabelPixels, CaptionsUnderDifferentSymbolsShareOneBaseline) {
    const QStringList transport{"eject.fill",
                                "circle.fill",
                                "backward.fill",
                                "play.fill",
                                "forward.fill",
                                "stop.fill",
                                "arrow.triangle.2.circlepath"};
    const QStringList silver{"backward.end.fill", "play.fill", "pause.fill", "stop.fill", "forward.end.fill", "plus"};
    for (const auto& [symbols, font, height] :
         {std::tuple{transport, KeyCap::font(), 38.0}, std::tuple{silver, SilverKeyStyle::font(), 36.0}}) {
        std::vector<int> baselines;
        for (const QString& symbol : symbols) {
            QImage image = blackImage(QSize(64, int(height)), 2.0);
            {
                QPainter p(&image);
                KeyLabel::symbolAbove(symbol, "STOP").paint(p, QRectF(0, 0, 64, height), Qt::white, font);
            }
            baselines.push_back(lowestInkRow(image));
        }
        ASSERT_GT(baselines.front(), int(height));
        for (std::size_t i = 1; i < baselines.size(); ++i)
            EXPECT_EQ(baselines[i], baselines.front()) << symbols[int(i)].toStdString();
    }
}

// The columns from the leftmost to the rightmost lettering pixel (red above 100) of `image`.
int inkWidth(const QImage& image) {
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).red() > 100) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right - left + 1;
}

// Sizes with half a point (knob captions 7.5, meter figures 6.5) are drawn and measured at
// that size, not at the next whole one: at 2x a 7.5 caption is the 15-pixel one.
TEST(HalfPointSizes, AreDrawnAndMeasuredAtTheirSize) {
    QImage knob = blackImage(QSize(120, 70), 2.0);
    {
        QPainter p(&knob);
        Knob::paint(p, QRectF(10, 4, 100, 60), "REC LEVEL", 0.5, 40, Lettering::light);
    }
    const QImage caption = knob.copy(0, (4 + 40 + 2) * 2, knob.width(), knob.height() - (4 + 40 + 2) * 2);
    QImage reference = blackImage(QSize(240, 40));
    {
        QPainter p(&reference);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(KitFont::keyCaption(15));
        p.setPen(KitColor::silkscreenLight);
        p.drawText(QPointF(10, 25), "REC LEVEL");
    }
    EXPECT_NEAR(inkWidth(caption), inkWidth(reference), 1.5);

    const qreal caption15 = QFontMetricsF(KitFont::keyCaption(15)).height();
    EXPECT_NEAR(Knob::layoutSize("REC LEVEL", 40).height(), 40 + Knob::captionSpacing + caption15 / 2, 0.01);
    EXPECT_NEAR(FLMeterScale::height(), QFontMetricsF(KitFont::monospaced(13)).height() / 2, 0.01);
}

TEST(GlowTextPixels, LitTextGlowsUnlitDoesNot) {
    auto render = [](bool lit) {
        QImage image = blackImage(QSize(120, 40));
        QPainter p(&image);
        GlowText{"888", 20, KitColor::amber, lit}.paint(p, QRectF(10, 0, 110, 40));
        return image;
    };
    const QImage lit = render(true), unlit = render(false);
    // Find the glyphs' top row in the lit picture, then look above it.
    int top = -1;
    for (int y = 0; y < lit.height() && top < 0; ++y)
        for (int x = 0; x < lit.width(); ++x)
            if (lit.pixelColor(x, y).red() > 200) {
                top = y;
                break;
            }
    ASSERT_GT(top, 3);
    int glowAbove = 0, inkUnlit = 0;
    for (int x = 0; x < lit.width(); ++x) {
        glowAbove = std::max(glowAbove, lit.pixelColor(x, top - 2).red());
        EXPECT_EQ(unlit.pixelColor(x, top - 2).red(), 0);
        for (int y = 0; y < unlit.height(); ++y) inkUnlit = std::max(inkUnlit, unlit.pixelColor(x, y).red());
    }
    EXPECT_GT(glowAbove, 20);
    EXPECT_NEAR(inkUnlit, 0.12 * 255, 8) << "unlit segments at 12 %";
}

TEST(GlowTextPixels, LongTextStaysOnOneLineInsideItsSpace) {
    QImage image = blackImage(QSize(200, 60));
    {
        QPainter p(&image);
        GlowText{"A station name far longer than the window", 12, KitColor::displayCyan}.paint(p,
                                                                                               QRectF(10, 20, 100, 20));
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 116; x < image.width(); ++x) EXPECT_LT(image.pixelColor(x, y).green(), 30) << x << "," << y;
}

TEST(BrushedMetalPixels, DarkMetalIgnoresItsTint) {
    QImage red = blackImage(QSize(30, 30)), blue = blackImage(QSize(30, 30));
    {
        QPainter p(&red);
        BrushedMetal{.tint = Qt::red, .dark = true}.paint(p, QRectF(0, 0, 30, 30));
    }
    {
        QPainter p(&blue);
        BrushedMetal{.tint = Qt::blue, .dark = true}.paint(p, QRectF(0, 0, 30, 30));
    }
    EXPECT_EQ(red, blue);
    const QColor top = red.pixelColor(15, 0);
    EXPECT_EQ(top.red(), top.blue());
}

TEST(BrushedMetalPixels, CachedTextureIsDrawnAtTheDevicePixelRatio) {
    // The cache must be rasterised at 2x for a 2x target, not drawn at 1x and scaled up.
    QImage cached = blackImage(QSize(40, 30), 2.0), direct = blackImage(QSize(40, 30), 2.0);
    const BrushedMetal metal{.tint = KitColor::white(0.8)};
    {
        QPainter p(&cached);
        metal.paint(p, QRectF(0, 0, 40, 30));
    }
    {
        QPainter p(&direct);
        p.setRenderHint(QPainter::Antialiasing);
        metal.draw(p, QSizeF(40, 30));
    }
    int worst = 0;
    for (int y = 0; y < direct.height(); ++y)
        for (int x = 0; x < direct.width(); ++x)
            worst = std::max(worst, std::abs(cached.pixelColor(x, y).red() - direct.pixelColor(x, y).red()));
    EXPECT_LE(worst, 2);
}

TEST(SystemSymbol, EverySymbolTheFacesNameDrawsSomething) {
    const QStringList named{"play.fill",
                            "pause.fill",
                            "stop.fill",
                            "eject.fill",
                            "backward.fill",
                            "forward.fill",
                            "backward.end.fill",
                            "forward.end.fill",
                            "circle.fill",
                            "plus",
                            "power",
                            "arrow.triangle.2.circlepath",
                            "lock.fill",
                            "lock.open",
                            "bandage.fill",
                            "recordingtape",
                            "opticaldisc",
                            "music.note.list",
                            "xmark.circle.fill",
                            "checkmark.circle.fill",
                            "magnifyingglass",
                            "wifi.exclamationmark",
                            "antenna.radiowaves.left.and.right.slash",
                            "radio",
                            "tray.and.arrow.down",
                            "square.and.arrow.down",
                            "paintpalette"};
    for (const QString& name : named) {
        ASSERT_TRUE(SystemSymbol::exists(name)) << name.toStdString();
        QImage image = blackImage(QSize(40, 40));
        {
            QPainter p(&image);
            SystemSymbol::paint(p, name, QPointF(20, 20), 24, QFont::Normal, Qt::white);
        }
        int lit = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) lit += image.pixelColor(x, y).red() > 128;
        EXPECT_GT(lit, 20) << name.toStdString();
    }
    QImage image = blackImage(QSize(40, 40));
    {
        QPainter p(&image);
        SystemSymbol::paint(p, "no.such.symbol", QPointF(20, 20), 24, QFont::Normal, Qt::white);
    }
    EXPECT_EQ(image, blackImage(QSize(40, 40)));
}

}  // namespace
}  // namespace norvo
