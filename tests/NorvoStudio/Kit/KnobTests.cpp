#include "Kit/Knob.hpp"
#include "Kit/KnobDrag.hpp"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace norvo {
namespace {

struct DragCase {
    const char* name;
    double start;
    std::vector<std::pair<double, double>> travelAndValue;  // translation (down positive) → value written
};

class KnobDragCases : public ::testing::TestWithParam<DragCase> {};

TEST_P(KnobDragCases, ValueFollowsTravelFromTheStart) {
    const DragCase& c = GetParam();
    KnobDrag drag;
    double value = c.start;
    for (const auto& [travel, expected] : c.travelAndValue) {
        value = drag.changed(value, travel);
        EXPECT_DOUBLE_EQ(value, expected) << "travel " << travel;
    }
    drag.ended();
    EXPECT_FALSE(drag.dragStart().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KnobDragCases,
    ::testing::Values(DragCase{"upToTheTopAndBack", 0.5, {{0, 0.5}, {-75, 1.0}, {-120, 1.0}, {0, 0.5}}},
                      DragCase{"downPastTheBottom", 0.2, {{45, 0.0}}},
                      DragCase{"clickWithoutMovement", 0.37, {{0, 0.37}}},
                      DragCase{"fullSweepIs150Points", 0.0, {{-150, 1.0}, {-15, 0.1}}},
                      DragCase{"outOfRangeClampsOnFirstChange", 1.3, {{0, 1.0}}},
                      DragCase{"belowRangeClampsOnFirstChange", -0.4, {{0, 0.0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KnobDrag, EachDragLatchesItsOwnStart) {
    KnobDrag drag;
    EXPECT_DOUBLE_EQ(drag.changed(0.5, -30), 0.7);
    drag.ended();
    EXPECT_DOUBLE_EQ(drag.changed(0.7, 15), 0.6);
}

TEST(KnobDrag, PointerAngleSweeps270Degrees) {
    EXPECT_DOUBLE_EQ(KnobDrag::pointerAngle(0), -135);
    EXPECT_DOUBLE_EQ(KnobDrag::pointerAngle(0.5), 0);
    EXPECT_DOUBLE_EQ(KnobDrag::pointerAngle(1), 135);
    EXPECT_DOUBLE_EQ(KnobDrag::pointerAngle(1.2), 189) << "drawn beyond the sweep, unclamped";
}

void sendMouse(QWidget& w, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, w.mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

TEST(KnobWidget, DragsThroughItsBindingAndResetsOnDoubleClick) {
    double model = 0.5;
    Knob knob("VOLUME", 0.8, 40, Lettering::light);
    knob.setBinding([&] { return model; }, [&](double v) { model = v; });
    QSignalSpy edited(&knob, &Knob::valueEdited);
    knob.resize(knob.sizeHint());
    const QPointF centre = QRectF(knob.layoutRect()).center() - QPointF(0, 10);

    sendMouse(knob, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    sendMouse(knob, QEvent::MouseMove, centre - QPointF(40, 75), Qt::LeftButton);  // sideways is ignored
    EXPECT_DOUBLE_EQ(model, 1.0);
    sendMouse(knob, QEvent::MouseMove, centre, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(model, 0.5);
    sendMouse(knob, QEvent::MouseButtonRelease, centre, Qt::NoButton);
    EXPECT_FALSE(knob.drag().dragStart().has_value());

    model = 0.1;
    sendMouse(knob, QEvent::MouseButtonDblClick, centre, Qt::LeftButton);
    sendMouse(knob, QEvent::MouseButtonRelease, centre, Qt::NoButton);
    EXPECT_DOUBLE_EQ(model, 0.8);
    EXPECT_GE(edited.count(), 4);
    EXPECT_EQ(edited.last().at(0).toDouble(), 0.8);
    EXPECT_EQ(knob.toolTip(), "VOLUME: drag up or down, double-click to reset");
}

TEST(KnobWidget, LostReleaseDoesNotCarryTheOldStartIntoTheNextDrag) {
    double model = 0.5;
    Knob knob("REC LEVEL", 2.0 / 3.0, 40, Lettering::light);
    knob.setBinding([&] { return model; }, [&](double v) { model = v; });
    knob.resize(knob.sizeHint());
    const QPointF centre = QRectF(knob.layoutRect()).center() - QPointF(0, 10);
    sendMouse(knob, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    sendMouse(knob, QEvent::MouseMove, centre - QPointF(0, 30), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(model, 0.7);
    // No release arrives (the pointer went up elsewhere); the owner then changes the value.
    model = 0.2;
    sendMouse(knob, QEvent::MouseButtonPress, centre, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(model, 0.2);
    sendMouse(knob, QEvent::MouseMove, centre - QPointF(0, 15), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(model, 0.3);
}

TEST(KnobWidget, PressOutsideTheFaceDoesNothing) {
    double model = 0.5;
    Knob knob("OUTPUT", 0.8, 40, Lettering::light);
    knob.setBinding([&] { return model; }, [&](double v) { model = v; });
    knob.resize(knob.sizeHint());
    const QRectF layout(knob.layoutRect());
    const QPointF caption(layout.center().x(), layout.bottom() - 2);
    sendMouse(knob, QEvent::MouseButtonPress, caption, Qt::LeftButton);
    sendMouse(knob, QEvent::MouseMove, caption - QPointF(0, 60), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(model, 0.5);
}

}  // namespace
}  // namespace norvo
