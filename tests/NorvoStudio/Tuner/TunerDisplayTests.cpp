#define Q_TEST_QPIXMAPCACHE  // QPixmapCache::totalUsed()
#include "Tuner/TunerDisplay.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPixmapCache>
#include <QRegion>
#include <functional>
#include <utility>

#include <chrono>

#include "Kit/RecentPictures.hpp"
#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Support/FakeClock.hpp"

namespace norvo {
namespace {

using test::FakeTuner;
using namespace std::chrono_literals;

class TunerDisplayTest : public testing::Test {
protected:
    void SetUp() override {
        tuner.on = true;
        tuner.bandState = {TunerFacade::Query::top(), test::makeBand(200)};
        tuner.current = tuner.bandState.stations[10];
        tuner.dialPosition = 10;
        tuner.receptionState = TunerFacade::Reception::tuned();
        tuner.title = "A title";
        tuner.publish();
    }
    FakeTuner tuner;
    test::FakeClock clock{Date(1000s)};
    TunerDisplay display{tuner, {}, clock};
};

TEST_F(TunerDisplayTest, AFreshMarqueeReturnsWhenTheMemoryPromptGoes) {
    EXPECT_EQ(display.mainMarquee().start(), 1000);
    clock.advance(5s);
    tuner.armed = true;
    tuner.publish();
    clock.advance(3s);
    tuner.armed = false;
    tuner.publish();
    EXPECT_EQ(display.mainMarquee().text(), QString::fromUtf8("\u266A \u2068A TITLE\u2069"));
    EXPECT_EQ(display.mainMarquee().start(), 1008);
    // A change elsewhere keeps the cycle running.
    clock.advance(1s);
    tuner.signalLevel = 0.5;
    tuner.publish();
    EXPECT_EQ(display.mainMarquee().start(), 1008);
}

TEST_F(TunerDisplayTest, TheNeedleSpringsToANewDialAndJumpsToANewBand) {
    EXPECT_EQ(display.needlePosition(), 10);
    tuner.dialPosition = 20;
    tuner.publish();
    display.tick(1.0 / 60);
    EXPECT_GT(display.needlePosition(), 10);
    EXPECT_LT(display.needlePosition(), 20);
    for (int i = 0; i < 90; ++i) display.tick(1.0 / 60);
    EXPECT_DOUBLE_EQ(display.needlePosition(), 20);

    tuner.bandState.stations.resize(50);
    tuner.dialPosition = 3;
    tuner.publish();
    EXPECT_DOUBLE_EQ(display.needlePosition(), 3);
}

QImage rendered(TunerDisplay& display) {
    QImage image(display.sizeHint(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    display.resize(display.sizeHint());
    display.render(&image);
    return image;
}

// Pixels of full-strength cyan: a lit word or its halo, never the faint ghost of an unlit one.
int litCyanPixels(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qGreen(p) > 150 && qBlue(p) > 150 && qRed(p) < qGreen(p) - 60) ++count;
        }
    return count;
}

// Every word of the annunciator row is lit only while the tuner is on: in standby the
// remembered station's format and country stay as dark as the lamps beside them.
TEST_F(TunerDisplayTest, StandbyLightsNoWordOfTheAnnunciatorRow) {
    tuner.format = "MP3 128k";
    tuner.mutingFlag = true;
    tuner.publish();
    const QRect row = display.annunciatorRow().toAlignedRect().adjusted(0, -3, 0, 3);
    const QRect formatAndCountry(row.right() - 80, row.top(), 81, row.height());
    EXPECT_GT(litCyanPixels(rendered(display), formatAndCountry), 20) << "on and tuned";

    tuner.on = false;
    tuner.receptionState = TunerFacade::Reception::off();
    tuner.format.reset();
    tuner.publish();
    ASSERT_TRUE(tuner.station().has_value());  // remembered for the next start
    const QImage standby = rendered(display);
    EXPECT_EQ(litCyanPixels(standby, formatAndCountry), 0);
    EXPECT_EQ(litCyanPixels(standby, row), 0);
}

// The display lit over black, without the window's background, at twice the design size.
QImage litOverBlack(TunerDisplay& display) {
    QImage image(display.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::black);
    display.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The brightest channel of the brightest pixel in `area` (design points) of a picture over black.
int brightest(const QImage& image, const QRectF& area) {
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels = QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect() & image.rect();
    int most = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            most = std::max({most, c.red(), c.green(), c.blue()});
        }
    return most;
}

// A lit line glows over the display around it, also beside its first letter and above its box;
// a line that scrolls keeps its letters inside the box, and a letter cut there loses its glow.
TEST_F(TunerDisplayTest, LinesGlowPastTheirBoxesWhileTheirLettersStayInside) {
    display.resize(display.sizeHint());
    const auto beside = [](const QRectF& box) { return QRectF(box.left() - 1.5, box.center().y() - 1, 1, 2); };
    const auto above = [](const QRectF& box) { return QRectF(box.left(), box.top() - 1.5, 60, 1); };
    const QRectF station = display.stationBox(), main = display.mainTextBox();

    QImage image = litOverBlack(display);
    // The glow fades within a few points, over black: a few levels where the box cut it to none.
    EXPECT_GT(brightest(image, beside(station)), 4) << "station name";
    EXPECT_GT(brightest(image, above(station)), 4) << "station name";
    EXPECT_GT(brightest(image, beside(main)), 4) << "title";
    EXPECT_GT(brightest(image, above(main)), 4) << "title";

    tuner.title = "A title far too long for the display, so that it scrolls along for quite a while";
    tuner.publish();
    image = litOverBlack(display);
    EXPECT_GT(brightest(image, beside(main)), 4) << "a scrolling title, while it pauses";

    clock.advance(3s);
    display.tick(1.0 / 60);
    image = litOverBlack(display);
    EXPECT_GT(brightest(image, QRectF(main.left(), main.top(), 8, main.height())), 200) << "letters at the edge";
    EXPECT_EQ(brightest(image, QRectF(main.left() - 5, main.top() - 4, 4, main.height() + 8)), 0)
        << "nothing of the letters that left the box";
}

// The display keeps its rows as pixels between changes: after any change of the tuner it must
// show exactly what a display built fresh on that state shows.
TEST_F(TunerDisplayTest, KeptRowsFollowEveryChangeOfTheTuner) {
    const std::pair<const char*, std::function<void(FakeTuner&)>> changes[] = {
        {"stereo", [](FakeTuner& t) { t.stereo = true; }},
        {"signal", [](FakeTuner& t) { t.signalLevel = 0.5; }},
        {"preset", [](FakeTuner& t) { t.presetSlots[2] = t.current; }},
        {"muting", [](FakeTuner& t) { t.mutingFlag = true; }},
        {"flash", [](FakeTuner& t) { t.flashText = "STORED IN P3"; }},
        {"format", [](FakeTuner& t) { t.format = "AAC 64k"; }},
        {"reconnecting", [](FakeTuner& t) { t.reconnectingFlag = true; }},
        {"genre band", [](FakeTuner& t) { t.bandState.query = TunerFacade::Query::genre("electronic"); }},
        {"dial", [](FakeTuner& t) { t.dialPosition = 20; }},
        {"no title", [](FakeTuner& t) { t.title.reset(); }},
        {"off",
         [](FakeTuner& t) {
             t.on = false;
             t.receptionState = TunerFacade::Reception::off();
         }},
    };
    const QImage before = rendered(display);
    for (const auto& [name, change] : changes) {
        change(tuner);
        tuner.publish();
        for (int i = 0; i < 120; ++i) display.tick(1.0 / 60);  // the needle settles
        TunerDisplay fresh{tuner, {}, clock};
        EXPECT_TRUE(rendered(display) == rendered(fresh)) << name;
    }
    EXPECT_FALSE(rendered(display) == before);
}

// A title too long for the display moves at every frame; a picture of it at each position
// would never be shown again, so none is kept.
TEST_F(TunerDisplayTest, AScrollingTitleKeepsNoPictureOfEachPosition) {
    tuner.title = "A title far too long for the display, so that it scrolls along for quite a while";
    tuner.publish();
    QPixmapCache::clear();
    clock.advance(2s);  // past the pause
    const QImage first = rendered(display);
    const int kept = QPixmapCache::totalUsed();
    const qsizetype recent = RecentPictures::shared().count();
    QImage last;
    for (int frame = 0; frame < 300; ++frame) {
        clock.advance(std::chrono::microseconds(16667));
        display.tick(1.0 / 60);
        last = rendered(display);
    }
    EXPECT_FALSE(last == first) << "the title moved";
    EXPECT_LE(QPixmapCache::totalUsed(), kept + 1) << "megabytes kept for good";
    EXPECT_EQ(RecentPictures::shared().count(), recent) << "pictures kept lately";
}

// The regions a widget was asked to paint.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

// A frame repaints nothing while nothing moves, the meters' row when the meters move, and the
// main line when the memory prompt's blink turns, not at every frame in between.
TEST_F(TunerDisplayTest, AFrameRepaintsOnlyTheRowsWhoseReadoutMoved) {
    MeterBallistics::Pair meter;
    TunerDisplay shown{tuner, [&] { return meter; }, clock};
    shown.resize(shown.sizeHint());
    shown.show();
    QApplication::processEvents();
    PaintRecorder recorder;
    shown.installEventFilter(&recorder);
    const auto frame = [&] {
        clock.advance(16ms);
        shown.tick(1.0 / 60);
        QApplication::processEvents();
        return std::exchange(recorder.painted, QRegion());
    };
    EXPECT_TRUE(frame().isEmpty()) << "an idle display";

    meter.left.db = -6;
    const QRect meters = frame().boundingRect();
    EXPECT_FALSE(meters.isEmpty());
    EXPECT_GT(meters.top(), shown.annunciatorRow().bottom()) << "the meters' row only";

    // 100 s after the reference date: the lit first 0.4 s of a blink.
    clock.set(Date(std::chrono::milliseconds(978'307'300'000)));
    tuner.armed = true;
    tuner.publish();
    QApplication::processEvents();
    recorder.painted = QRegion();
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(frame().isEmpty()) << "frame " << i << " of the lit phase";
    clock.advance(100ms);
    const QRect blink = frame().boundingRect();
    EXPECT_FALSE(blink.isEmpty());
    EXPECT_GT(blink.top(), shown.stationBox().bottom()) << "the main line's row only";
    EXPECT_LT(blink.bottom(), shown.annunciatorRow().top()) << "the main line's row only";
}

}  // namespace
}  // namespace norvo
