#include "Rack/LineCables.hpp"
#include "Rack/RackGeometry.hpp"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <string>

namespace norvo {
namespace {

struct ScaleCase {
    double w, h, scale;
};

class RackScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(RackScale, ShrinksByTheTighterRatioAndNeverEnlarges) {
    const auto c = GetParam();
    EXPECT_DOUBLE_EQ(RackGeometry::scale(QSizeF(c.w, c.h)), c.scale);
}

INSTANTIATE_TEST_SUITE_P(Windows, RackScale,
                         ::testing::Values(ScaleCase{1232, 920, 1.0}, ScaleCase{924, 690, 0.75},
                                           ScaleCase{1232, 690, 0.75}, ScaleCase{2000, 1500, 1.0},
                                           ScaleCase{400, 300, 0.75},  // the window's minimum holds
                                           ScaleCase{1078, 920, 1078.0 / 1232}),
                         [](const ::testing::TestParamInfo<ScaleCase>& info) {
                             return std::to_string(int(info.param.w)) + "x" + std::to_string(int(info.param.h));
                         });

TEST(RackScale, CentresTheRackInAWiderDesignFrame) {
    // 1232 × 690 scales by 0.75: the design frame is 1642.67 wide, the rack 1232.
    const QPointF origin = RackGeometry::contentOrigin(QSizeF(1232, 690), QSizeF(1232, 920));
    EXPECT_NEAR(origin.x(), (1232 / 0.75 - 1232) / 2, 1e-9);
    EXPECT_NEAR(origin.y(), 0, 1e-9);
    const QPointF big = RackGeometry::contentOrigin(QSizeF(1432, 1020), QSizeF(1232, 920));
    EXPECT_NEAR(big.x(), 100, 1e-9);
    EXPECT_NEAR(big.y(), 50, 1e-9);
}

void expectPoint(QPointF actual, double x, double y) {
    EXPECT_NEAR(actual.x(), x, 1e-9) << "x of (" << x << ", " << y << ")";
    EXPECT_NEAR(actual.y(), y, 1e-9) << "y of (" << x << ", " << y << ")";
}

TEST(LineCables, FollowTheDevicesEdges) {
    const QRectF player(0, 0, 430, 500);
    const QRectF deck(456, 0, 720, 400);
    const QRectF tuner(456, 418, 720, 300);
    const auto cables = cableCurves(player, deck, tuner);

    expectPoint(cables[0].start, 422, 280);
    expectPoint(cables[0].end, 464, 250);
    expectPoint(cables[0].control1, 439.1, 410);
    expectPoint(cables[0].control2, 450.8, 360);

    expectPoint(cables[1].start, 422, 287);
    expectPoint(cables[1].end, 464, 257);
    expectPoint(cables[1].control1, 437.0, 417);
    expectPoint(cables[1].control2, 448.7, 367);

    expectPoint(cables[2].start, 464, 488);
    expectPoint(cables[2].end, 464, 330);
    expectPoint(cables[2].control1, 432.6, 482);
    expectPoint(cables[2].control2, 432.6, 370);

    EXPECT_EQ(cables[0].colour, cables[2].colour);
    EXPECT_EQ(cables[1].colour, cables[3].colour);
    EXPECT_GT(cables[0].colour.redF(), 0.7);
    EXPECT_LT(cables[0].colour.greenF(), 0.2);
}

TEST(LineCables, ANegativeSpanTurnsTheBendsTheOtherWay) {
    const auto cables = cableCurves(QRectF(500, 0, 100, 100), QRectF(400, 0, 100, 400), QRectF(400, 418, 100, 100));
    // span = 400 - 600 = -200: the tuner's bend swings right of its edge.
    EXPECT_NEAR(cables[2].control1.x(), 400 + 0.9 * 200, 1e-9);
}

TEST(LineCables, DrawNothingUntilEveryDeviceHasAFrameAndLetClicksThrough) {
    LineCables layer;
    layer.resize(300, 300);
    EXPECT_TRUE(layer.testAttribute(Qt::WA_TransparentForMouseEvents));
    auto render = [&] {
        QImage image(300, 300, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        layer.render(&image);
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0;
        return painted;
    };
    layer.setFrames(QRectF(0, 0, 100, 200), QRectF(126, 0, 150, 200), std::nullopt);
    EXPECT_EQ(render(), 0);
    layer.setFrames(QRectF(0, 0, 100, 200), QRectF(126, 0, 150, 200), QRectF(126, 218, 150, 80));
    EXPECT_GT(render(), 500);
}

}  // namespace
}  // namespace norvo
