#define Q_TEST_QPIXMAPCACHE  // QPixmapCache::totalUsed()
#include "Tuner/TunerDisplay.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmapCache>
#include <functional>

#include <chrono>

#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Rack/Kit/RecentPictures.hpp"
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
        {"off", [](FakeTuner& t) {
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

}  // namespace
}  // namespace norvo
