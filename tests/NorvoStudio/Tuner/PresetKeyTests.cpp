#include "Tuner/PresetKey.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Platform/ManualExecutor.hpp"

namespace norvo {
namespace {

class CountingHaptics final : public Haptics {
public:
    void levelChange() override { ++levelChanges; }
    void alignment() override { ++alignments; }
    int levelChanges = 0;
    int alignments = 0;
};

class PresetKeyTest : public testing::Test {
protected:
    void SetUp() override {
        key.onTap = [this] { events.push_back("tap"); };
        key.onHold = [this] { events.push_back("hold"); };
        key.onClear = [this] { events.push_back("clear"); };
        key.show();
    }
    QPoint keyCentre() const { return key.keyRect().center().toPoint(); }
    void press() { QTest::mousePress(&key, Qt::LeftButton, {}, keyCentre()); }
    void release() { QTest::mouseRelease(&key, Qt::LeftButton, {}, keyCentre()); }

    ManualExecutor executor;
    CountingHaptics haptics;
    PresetKey key{3, executor, haptics};
    std::vector<std::string> events;
};

TEST_F(PresetKeyTest, AClickTaps) {
    press();
    EXPECT_TRUE(key.hold().held());
    executor.advance(1.0);
    release();
    EXPECT_EQ(events, (std::vector<std::string>{"tap"}));
    executor.advance(5);  // the cancelled timer does nothing
    EXPECT_EQ(events, (std::vector<std::string>{"tap"}));
    EXPECT_EQ(haptics.levelChanges, 0);
}

TEST_F(PresetKeyTest, HoldingStoresAtTheMarkAndTheReleaseDoesNothing) {
    press();
    executor.advance(1.09);
    EXPECT_TRUE(events.empty());
    executor.advance(0.01);
    EXPECT_EQ(events, (std::vector<std::string>{"hold"}));
    EXPECT_EQ(haptics.levelChanges, 1);
    EXPECT_TRUE(key.hold().held());
    QTest::mouseMove(&key, keyCentre() + QPoint(3, 2));
    executor.advance(3);
    release();
    EXPECT_EQ(events, (std::vector<std::string>{"hold"}));
}

TEST_F(PresetKeyTest, TwoQuickClicksTapTwiceAndTheFirstTimerCannotFireForTheSecond) {
    press();
    executor.advance(0.8);
    release();
    press();
    executor.advance(0.5);  // 1.3 s after the first press
    release();
    executor.advance(2);
    EXPECT_EQ(events, (std::vector<std::string>{"tap", "tap"}));
}

TEST_F(PresetKeyTest, APressThatEndsWithoutAReleaseDoesNothing) {
    press();
    key.hide();
    executor.advance(2);
    EXPECT_FALSE(key.hold().held());
    key.show();
    release();  // a stray release after the cancel
    EXPECT_TRUE(events.empty());
}

TEST_F(PresetKeyTest, TheRightButtonDoesNotPress) {
    QTest::mousePress(&key, Qt::RightButton, {}, keyCentre());
    EXPECT_FALSE(key.hold().held());
    executor.advance(2);
    QTest::mouseRelease(&key, Qt::RightButton, {}, keyCentre());
    EXPECT_TRUE(events.empty());
}

TEST_F(PresetKeyTest, MenuAndHelpFollowTheStoredStation) {
    auto empty = key.contextMenu();
    ASSERT_EQ(empty->actions().size(), 2);
    EXPECT_EQ(empty->actions()[0]->text(), "Store Current Station in P3");
    EXPECT_EQ(empty->actions()[1]->text(), "Clear P3");
    EXPECT_FALSE(empty->actions()[1]->isEnabled());
    EXPECT_EQ(key.help(), QString::fromUtf8("P3 is empty \u2014 hold to store the current station"));
    empty->actions()[0]->trigger();
    EXPECT_EQ(events, (std::vector<std::string>{"hold"}));
    EXPECT_EQ(haptics.levelChanges, 0);  // the menu stores without the tap

    auto station = test::makeStation(1);
    station.name = "<b>Radio</b>";
    key.setStation(station);
    EXPECT_EQ(key.help(), QString::fromUtf8(
                              "P3: \u2068<b>Radio</b>\u2069 \u2014 click to tune, hold to store the current station"));
    EXPECT_FALSE(key.toolTip().contains("<b>"));  // shown as text, not markup
    auto stored = key.contextMenu();
    EXPECT_TRUE(stored->actions()[1]->isEnabled());
    stored->actions()[1]->trigger();
    EXPECT_EQ(events.back(), "clear");
}

}  // namespace
}  // namespace norvo
