#include "Kit/HoldKey.hpp"
#include "Kit/HoldKeyGesture.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <memory>

namespace norvo {
namespace {

// Records the calls in order: 'P' for a press, 'R' for a release.
struct Log {
    std::string calls;
    std::function<void()> press() {
        return [this] { calls += 'P'; };
    }
    std::function<void()> release() {
        return [this] { calls += 'R'; };
    }
};

TEST(HoldKeyGesture, PressesOnceHoweverLongThePointerMoves) {
    Log log;
    HoldKeyGesture gesture(log.press(), log.release());
    gesture.pointerChanged();
    for (int i = 0; i < 20; ++i) gesture.pointerChanged();
    EXPECT_TRUE(gesture.held());
    gesture.pointerEnded();
    EXPECT_FALSE(gesture.held());
    EXPECT_EQ(log.calls, "PR");
}

TEST(HoldKeyGesture, CancelReleasesOnceAndIgnoresTheRestOfThatSequence) {
    Log log;
    HoldKeyGesture gesture(log.press(), log.release());
    gesture.pointerChanged();
    gesture.cancel();
    gesture.cancel();
    gesture.pointerChanged();  // a late move of the lost sequence
    gesture.pointerEnded();    // and its late pointer-up
    EXPECT_EQ(log.calls, "PR");
    gesture.pointerChanged();  // the next press counts again
    gesture.pointerEnded();
    EXPECT_EQ(log.calls, "PRPR");
}

TEST(HoldKeyGesture, ReleaseForcedFromInsideThePressStillPairs) {
    std::string calls;
    HoldKeyGesture gesture;
    gesture.setOnPress([&] {
        calls += 'P';
        gesture.cancel();  // e.g. the press disabled the key
    });
    gesture.setOnRelease([&] { calls += 'R'; });
    gesture.pointerChanged();
    gesture.pointerEnded();
    EXPECT_EQ(calls, "PR");
}

TEST(HoldKeyGesture, PointerUpWithoutPressCallsNothing) {
    Log log;
    HoldKeyGesture gesture(log.press(), log.release());
    gesture.pointerEnded();
    gesture.cancel();
    EXPECT_EQ(log.calls, "");
}

void sendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

// A shown window holding one hold key.
struct HoldKeyWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    HoldKey* key;
    Log log;
    HoldKeyWindow() {
        key = new HoldKey(KeyLabel::symbolAbove("backward.fill", "REW"), 64, window.get());
        key->setKeyGeometry(QRect(10, 10, 64, 38));
        key->setOnPress(log.press());
        key->setOnRelease(log.release());
        window->resize(120, 80);
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
    }
    QPointF centre() const { return QRectF(key->keyRect()).center(); }
    void press() { sendMouse(key, QEvent::MouseButtonPress, centre(), Qt::LeftButton, Qt::LeftButton); }
    void moveFar() { sendMouse(key, QEvent::MouseMove, centre() + QPointF(400, 300), Qt::NoButton, Qt::LeftButton); }
    void release() {
        sendMouse(key, QEvent::MouseButtonRelease, centre() + QPointF(400, 300), Qt::LeftButton, Qt::NoButton);
    }
};

TEST(HoldKeyWidget, DraggedFarPressesOnceAndReleasesOnce) {
    HoldKeyWindow w;
    w.press();
    EXPECT_TRUE(w.key->held());
    w.moveFar();
    w.moveFar();
    w.release();
    EXPECT_FALSE(w.key->held());
    EXPECT_EQ(w.log.calls, "PR");
}

TEST(HoldKeyWidget, LatchedKeyStillPressesAndReleases) {
    HoldKeyWindow w;
    w.key->setLatched(true);
    w.press();
    w.release();
    EXPECT_EQ(w.log.calls, "PR");
    EXPECT_TRUE(w.key->latched());
}

TEST(HoldKeyWidget, PressOutsideTheKeyInItsShadowMarginIsIgnored) {
    HoldKeyWindow w;
    sendMouse(w.key, QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton);
    sendMouse(w.key, QEvent::MouseButtonRelease, QPointF(1, 1), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.log.calls, "");
}

struct LossCase {
    const char* name;
    std::function<void(HoldKeyWindow&)> lose;
};

class HoldKeyLostRelease : public ::testing::TestWithParam<LossCase> {};

TEST_P(HoldKeyLostRelease, ReleasesExactlyOnce) {
    HoldKeyWindow w;
    w.press();
    w.moveFar();
    GetParam().lose(w);
    EXPECT_EQ(w.log.calls, "PR");
    EXPECT_FALSE(w.key->held());
    // The pointer-up of the lost sequence, should it still arrive, changes nothing.
    w.moveFar();
    w.release();
    EXPECT_EQ(w.log.calls, "PR");
}

INSTANTIATE_TEST_SUITE_P(
    Ways, HoldKeyLostRelease,
    ::testing::Values(LossCase{"windowDeactivated",
                               [](HoldKeyWindow& w) {
                                   QEvent deactivate(QEvent::WindowDeactivate);
                                   QCoreApplication::sendEvent(w.window.get(), &deactivate);
                               }},
                      LossCase{"keyHidden", [](HoldKeyWindow& w) { w.key->hide(); }},
                      LossCase{"windowHidden", [](HoldKeyWindow& w) { w.window->hide(); }},
                      LossCase{"keyDisabled", [](HoldKeyWindow& w) { w.key->setEnabled(false); }},
                      LossCase{"windowDisabled", [](HoldKeyWindow& w) { w.window->setEnabled(false); }},
                      LossCase{"pointerUpSeenElsewhere",
                               [](HoldKeyWindow& w) {
                                   // Back over the key with no button down: the pointer went up in a popup.
                                   sendMouse(w.key, QEvent::MouseMove, w.centre(), Qt::NoButton, Qt::NoButton);
                               }},
                      LossCase{"grabLost",
                               [](HoldKeyWindow& w) {
                                   QEvent ungrab(QEvent::UngrabMouse);
                                   QCoreApplication::sendEvent(w.key, &ungrab);
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HoldKeyWidget, DestroyedWhileHeldReleases) {
    HoldKeyWindow w;
    w.press();
    delete w.key;
    EXPECT_EQ(w.log.calls, "PR");
}

TEST(HoldKeyWidget, DestroyedWhenNotHeldCallsNothing) {
    HoldKeyWindow w;
    w.press();
    w.release();
    delete w.key;
    EXPECT_EQ(w.log.calls, "PR");
}

TEST(HoldKeyWidget, PressThatDisablesTheKeyStillPairs) {
    HoldKeyWindow w;
    w.key->setOnPress([&] {
        w.log.calls += 'P';
        w.key->setEnabled(false);
    });
    w.press();
    w.release();
    EXPECT_EQ(w.log.calls, "PR");
}

}  // namespace
}  // namespace norvo
