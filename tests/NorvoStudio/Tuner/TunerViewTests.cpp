#include "Tuner/TunerView.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

#include "Kit/HardwareKey.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/Knob.hpp"
#include "NorvoStudio/Support/FakeTuner.hpp"
#include "NorvoStudio/Support/QuietDesktop.hpp"
#include "Platform/ManualExecutor.hpp"
#include "StudioModel/StudioCommands.hpp"
#include "Support/FakeClock.hpp"
#include "Tuner/PresetKey.hpp"
#include "Tuner/StationGuide.hpp"
#include "Tuner/TunerDisplay.hpp"
#include "Tuner/TuningKnob.hpp"

namespace norvo {
namespace {

using test::FakeTuner;
using test::makeStation;
using Call = FakeTuner::Call;

class CountingHaptics final : public Haptics {
public:
    void alignment() override { ++alignments; }
    int alignments = 0;
};

class TunerViewTest : public testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<TunerView>(TunerView::Services{tuner, executor, clock, desktop, "en_US", haptics,
                                                               [] { return MeterBallistics::Pair{}; }});
        view->resize(view->sizeHint());
        view->show();
        QApplication::processEvents();
    }

    // A wheel event at the knob's centre.
    // Natural scrolling reports the deltas inverted.
    enum class Scrolling { plain, inverted };
    void wheel(QPoint pixel, QPoint angle, Scrolling scrolling = Scrolling::plain) {
        TuningKnob* knob = view->tuningKnob();
        const QPointF at = knob->knobRect().center();
        QWheelEvent event(at, knob->mapToGlobal(at), pixel, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          scrolling == Scrolling::inverted);
        QApplication::sendEvent(knob, &event);
    }

    void drag(QPoint by) {
        TuningKnob* knob = view->tuningKnob();
        const QPoint centre = knob->knobRect().center().toPoint();
        QTest::mousePress(knob, Qt::LeftButton, {}, centre);
        QTest::mouseMove(knob, centre + by);
        QTest::mouseRelease(knob, Qt::LeftButton, {}, centre + by);
    }

    FakeTuner tuner;
    ManualExecutor executor;
    test::FakeClock clock;
    test::QuietDesktop desktop;
    CountingHaptics haptics;
    std::unique_ptr<TunerView> view;
};

TEST_F(TunerViewTest, EveryControlCallsItsOperation) {
    view->powerKey()->click();
    view->memoryKey()->click();
    view->mutingKey()->click();
    view->volumeKnob()->setValue(0.8);
    EXPECT_EQ(tuner.calls,
              (std::vector<Call>{
                  {"togglePower"}, {"armMemory"}, {"setMuting", "true"}, {"setVolume", std::to_string(0.8f)}}));
}

TEST_F(TunerViewTest, PresetKeysAddressSlotsFromZero) {
    PresetKey* key = view->presetKey(2);
    EXPECT_EQ(key->number(), 3);
    const QPoint centre = key->keyRect().center().toPoint();
    QTest::mouseClick(key, Qt::LeftButton, {}, centre);
    QTest::mousePress(key, Qt::LeftButton, {}, centre);
    executor.advance(1.1);
    QTest::mouseRelease(key, Qt::LeftButton, {}, centre);
    tuner.presetSlots[2] = makeStation(5);
    tuner.publish();
    key->contextMenu()->actions()[1]->trigger();
    EXPECT_EQ(tuner.calls,
              (std::vector<Call>{{"pressPreset", "2"}, {"storeCurrentStation", "2"}, {"clearPreset", "2"}}));
}

TEST_F(TunerViewTest, KeysShowTheTunersState) {
    tuner.current = makeStation(5);
    tuner.presetSlots[4] = makeStation(5);
    tuner.publish();
    EXPECT_FALSE(view->presetKey(4)->current());  // off: no key marked
    EXPECT_FALSE(view->powerKey()->keyStyle().latched);
    EXPECT_EQ(view->powerKey()->toolTip(),
              StudioCommands::helpText("Switch the tuner on", StudioCommands::Id::tunerPower));

    tuner.on = true;
    tuner.armed = true;
    tuner.mutingFlag = true;
    tuner.publish();
    EXPECT_TRUE(view->presetKey(4)->current());
    EXPECT_TRUE(view->powerKey()->keyStyle().latched);
    EXPECT_TRUE(view->powerKey()->toolTip().startsWith("Switch the tuner to standby ("));
    EXPECT_TRUE(view->memoryKey()->keyStyle().latched);
    EXPECT_EQ(view->memoryKey()->keyStyle().accent, KitColor::amber);
    EXPECT_TRUE(view->presetKey(0)->memoryArmed());
    EXPECT_TRUE(view->mutingKey()->keyStyle().latched);

    tuner.armed = false;  // the engine disarms on its own
    tuner.publish();
    EXPECT_FALSE(view->memoryKey()->keyStyle().latched);
    EXPECT_FALSE(view->memoryKey()->keyStyle().accent);
}

TEST_F(TunerViewTest, KnobDragTurnsADetentPerTwelvePoints) {
    drag({11, 0});  // 11 points: nothing, and the rest is dropped
    drag({12, 0});
    drag({0, -12});  // upwards is clockwise too
    drag({0, 12});
    drag({10, 10});  // right and down cancel out
    drag({40, 0});
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"stepDial", "1"},
                                              {"stepDial", "1"},
                                              {"stepDial", "-1"},
                                              {"stepDial", "1"},
                                              {"stepDial", "1"},
                                              {"stepDial", "1"}}));
    EXPECT_EQ(haptics.alignments, 6);
}

TEST_F(TunerViewTest, KnobWheelNotchIsADetentAndTouchpadsCountPoints) {
    wheel({}, {0, 120});
    wheel({}, {0, 60});
    wheel({}, {0, 60});
    wheel({}, {0, -120});
    wheel({0, 6}, {0, 50});
    wheel({0, 6}, {0, 50});
    wheel({0, -12}, {0, -100}, Scrolling::inverted);  // the fingers moved up
    EXPECT_EQ(tuner.calls,
              (std::vector<Call>{
                  {"stepDial", "1"}, {"stepDial", "1"}, {"stepDial", "-1"}, {"stepDial", "1"}, {"stepDial", "1"}}));
    EXPECT_EQ(haptics.alignments, 0);  // the wheel gives no tap

    // Leaving the knob drops a part-detent.
    tuner.calls.clear();
    wheel({}, {0, 60});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view->tuningKnob(), &leave);
    wheel({}, {0, 60});
    EXPECT_TRUE(tuner.calls.empty());
}

TEST_F(TunerViewTest, KnobFollowsTheDetentCountWithASpring) {
    tuner.detents = 3;
    tuner.publish();
    EXPECT_EQ(view->tuningKnob()->detents(), 3);
    for (int i = 0; i < 60; ++i) {
        executor.advance(1.0 / 60);
        view->tick();
    }
    EXPECT_NEAR(view->tuningKnob()->drawnAngle(), 36, 1e-6);
    EXPECT_TRUE(tuner.calls.empty());
}

// A face built while the knob stands turned shows it there from the first picture.
TEST_F(TunerViewTest, KnobStartsAtTheTunersDetentCount) {
    tuner.detents = 8;
    TunerView face(TunerView::Services{tuner, executor, clock, desktop, "en_US", haptics, {}});
    EXPECT_DOUBLE_EQ(face.tuningKnob()->drawnAngle(), 96);
    for (int i = 0; i < 3; ++i) {
        executor.advance(1.0 / 60);
        face.tick();
    }
    EXPECT_DOUBLE_EQ(face.tuningKnob()->drawnAngle(), 96) << "no spin after the first picture";
}

TEST_F(TunerViewTest, TheDisplayKeepsItsWidthAndTheGuideTakesTheRest) {
    EXPECT_EQ(view->width(), 720);
    EXPECT_EQ(view->display()->displayRect().width(), 404);
    const int guide = view->guide()->width();
    view->resize(720, view->height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(view->display()->displayRect().width(), 404);
    EXPECT_EQ(view->guide()->width(), guide);
    EXPECT_GT(view->guide()->height(), view->display()->displayRect().height());
}

// The longest unbroken run of scale cyan in any row left of `limit`, in points: the dial's baseline.
std::pair<double, double> longestCyanRun(const QImage& image, int limit) {
    const qreal ratio = image.devicePixelRatio();
    std::pair<int, int> best{0, -1};
    for (int y = 0; y < image.height(); ++y) {
        int start = -1;
        for (int x = 0; x <= std::min(limit, image.width()); ++x) {
            const QRgb p = x < std::min(limit, image.width()) ? image.pixel(x, y) : 0;
            const bool cyan = qGreen(p) > 70 && qGreen(p) - qRed(p) > 30;
            if (cyan && start < 0) start = x;
            if (!cyan && start >= 0) {
                if (x - start > best.second - best.first + 1) best = {start, x - 1};
                start = -1;
            }
        }
    }
    return {best.first / ratio, (best.second + 1) / ratio};
}

// The display's rows use its whole 404 points: the dial's scale runs from 8 to 404 − 8, the
// display lines up with the POWER key below it and stands 14 points from the guide.
TEST_F(TunerViewTest, TheDisplayFillsItsFrameInLineWithTheFace) {
    tuner.on = true;
    tuner.bandState = {TunerFacade::Query::top(), test::makeBand(50)};
    tuner.publish();
    QImage image(view->size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::black);
    view->render(&image);
    const HardwareKey* power = view->powerKey();
    const int left = power->mapTo(view.get(), power->keyRect().topLeft()).x();
    EXPECT_EQ(left, TunerView::padding);
    EXPECT_EQ(view->guide()->x(), left + 404 + 14);
    const auto [from, to] = longestCyanRun(image, 2 * view->guide()->x());
    EXPECT_NEAR(from, left + 8, 0.5);
    EXPECT_NEAR(to, left + 404 - 8, 0.5);
}

}  // namespace
}  // namespace norvo
