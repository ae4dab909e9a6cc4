#include "Kit/HardwareKey.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/SilverKey.hpp"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace norvo {
namespace {

void click(QWidget& w, QPoint pos) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), w.mapToGlobal(QPointF(pos)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(pos), w.mapToGlobal(QPointF(pos)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &release);
}

TEST(HardwareKey, LatchedKeyStillRunsItsAction) {
    HardwareKey key(HardwareKeyStyle{.latched = true, .width = 64, .height = 38}, KeyLabel::caption("TUNER"));
    key.resize(key.sizeHint());
    QSignalSpy clicked(&key, &QAbstractButton::clicked);
    click(key, key.keyRect().center());
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(key.drawnDown()) << "latched keys stay down after the click";
}

TEST(HardwareKey, DrawnDownWhilePressedOrLatched) {
    HardwareKey key(HardwareKeyStyle{.width = 64, .height = 38}, KeyLabel::caption("PLAY"));
    EXPECT_FALSE(key.drawnDown());
    EXPECT_EQ(key.depth(), 0.0);
    key.setDown(true);
    EXPECT_TRUE(key.drawnDown());
    EXPECT_EQ(key.depth(), 1.0);
    key.setDown(false);
    key.setLatched(true);
    EXPECT_TRUE(key.drawnDown());
    EXPECT_EQ(key.depth(), 1.0);
}

struct HitCase {
    const char* name;
    std::function<KeyButton*()> make;
};

class KeyHitArea : public ::testing::TestWithParam<HitCase> {};

TEST_P(KeyHitArea, WholeKeyRectangleTakesClicksShadowMarginDoesNot) {
    std::unique_ptr<KeyButton> key(GetParam().make());
    key->setKeyGeometry(QRect(0, 0, 90, key->keyRect().height()));
    QSignalSpy clicked(key.get(), &QAbstractButton::clicked);
    const QRect r = key->keyRect();
    click(*key, r.topLeft());      // the empty corner of the key
    click(*key, r.bottomRight());  // the other corner
    EXPECT_EQ(clicked.count(), 2);
    click(*key, r.bottomLeft() + QPoint(0, 3));  // in the shadow below
    click(*key, QPoint(0, 0));                   // in the margin
    EXPECT_EQ(clicked.count(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyHitArea,
    ::testing::Values(
        HitCase{"hardware", [] { return new HardwareKey(HardwareKeyStyle{}, KeyLabel::caption("STOP")); }},
        HitCase{"silver", [] { return new SilverKey(SilverKeyStyle{.width = 56}, KeyLabel::caption("OPEN")); }},
        HitCase{"mini", [] { return new MiniKey("WORLD"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyGeometry, KeysKeepTheirSpecifiedSizes) {
    SilverKey silver(SilverKeyStyle{.width = 74, .lit = true},
                     KeyLabel::caption("A caption much wider than the key itself"));
    silver.resize(silver.sizeHint());
    EXPECT_EQ(silver.keyRect().size(), QSize(74, 36));
    MiniKey mini(MiniKeyStyle{.lit = true}, KeyLabel::caption("COUNTRY"));
    mini.setKeyGeometry(QRect(0, 0, 86, 20));
    EXPECT_EQ(mini.keyRect().size(), QSize(86, 20));
    EXPECT_EQ(mini.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding) << "fills the width it is offered";
    HardwareKey input(HardwareKeyStyle{.width = 128, .height = 26}, KeyLabel::caption("TUNER"));
    input.resize(input.sizeHint());
    EXPECT_EQ(input.keyRect().size(), QSize(128, 26));
}

}  // namespace
}  // namespace norvo
