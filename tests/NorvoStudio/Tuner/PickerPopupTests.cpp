#include "Support/FakeClock.hpp"
#include "Tuner/PickerPopup.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPointer>
#include <memory>

#include "Kit/KitColor.hpp"
#include "Kit/MiniKey.hpp"
#include "NorvoStudio/Support/FakeTuner.hpp"
#include "NorvoStudio/Support/QuietDesktop.hpp"
#include "Tuner/GenrePicker.hpp"
#include "Tuner/StationGuide.hpp"

namespace norvo {
namespace {

// A station guide at `guideGeometry` in a 600 × 600 rack that a graphics view shows at three
// quarters, shown.
struct ScaledRack {
    explicit ScaledRack(QRect guideGeometry) {
        rack->resize(600, 600);
        guide = new StationGuide(tuner, desktop, clock, "en_US", rack);
        guide->setGeometry(guideGeometry);
        proxy = scene.addWidget(rack);
        scene.setSceneRect(0, 0, 600, 600);  // as the rack does: the view does not scroll
        view = std::make_unique<QGraphicsView>(&scene);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->scale(0.75, 0.75);
        view->resize(460, 460);
        view->show();
        QApplication::processEvents();
    }

    test::FakeTuner tuner;
    test::QuietDesktop desktop;
    test::FakeClock clock;
    QGraphicsScene scene;
    QWidget* rack = new QWidget;  // the scene's once added
    StationGuide* guide = nullptr;
    QGraphicsProxyWidget* proxy = nullptr;
    std::unique_ptr<QGraphicsView> view;
};

// The rack shows the faces scaled inside a graphics view: a picker must open there with the tip
// of its arrow on its key's bottom edge (not on the room kept for the key's shadow), and stay
// inside the rack when its key stands near the rack's edge.
TEST(PickerPopup, ItsArrowTipsTheKeysBottomEdgeInsideAScaledRack) {
    for (const qreal guideX : {40.0, 330.0}) {
        ScaledRack scaled(QRect(int(guideX), 30, 266, 300));
        QWidget* rack = scaled.rack;
        StationGuide* guide = scaled.guide;
        QGraphicsProxyWidget* proxy = scaled.proxy;

        guide->pressGenres();
        QApplication::processEvents();
        ASSERT_TRUE(guide->showingGenres());
        PickerPopup* popup = guide->genrePopup();
        QGraphicsProxyWidget* popupProxy = popup->graphicsProxyWidget();
        ASSERT_NE(popupProxy, nullptr);
        const MiniKey* key = guide->genreKey();
        const QRect keyRect = key->keyRect();
        const QPointF keyBottom =
            proxy->mapToScene(QPointF(key->mapTo(rack, QPoint()) + QPointF(keyRect.left() + keyRect.width() / 2.0,
                                                                           keyRect.top() + keyRect.height())));
        const QPointF tip = popupProxy->mapToScene(popup->arrowTip());
        EXPECT_NEAR(tip.y(), keyBottom.y(), 1) << guideX;
        EXPECT_NEAR(tip.x(), keyBottom.x(), 1) << guideX;
        const QRectF panel = popupProxy->mapRectToScene(popup->panelRect());
        EXPECT_GE(panel.left(), 0) << guideX;
        EXPECT_LE(panel.right(), 600) << guideX;
        guide->pressGenres();
        EXPECT_FALSE(guide->showingGenres());
    }
}

// Where the popover stands in a 600-point rack, by the guide's top: the genre grid, which cannot
// scroll, opens whole below its key or else above it, every key inside the rack; the country list,
// which scrolls, is made shorter on the roomier side where it fits on neither.
struct Placement {
    const char* name;
    int guideTop;
    bool genres;
    PickerPopup::Side side;
};

class PickerPlacement : public testing::TestWithParam<Placement> {};

TEST_P(PickerPlacement, ThePanelStaysInsideTheRackWithItsArrowOnTheKey) {
    const Placement& c = GetParam();
    ScaledRack scaled(QRect(40, c.guideTop, 266, 260));
    StationGuide* guide = scaled.guide;
    c.genres ? guide->pressGenres() : guide->pressCountries();
    PickerPopup* popup = c.genres ? guide->genrePopup() : guide->countryPopup();
    ASSERT_TRUE(popup && popup->graphicsProxyWidget());
    EXPECT_EQ(popup->side(), c.side);
    const auto toRack = [&](const QWidget* w, QRectF r) {
        return popup->graphicsProxyWidget()->mapRectToScene(r.translated(w->mapTo(popup, QPointF())));
    };
    const MiniKey* key = c.genres ? guide->genreKey() : guide->countryKey();
    const QRectF keyInRack =
        scaled.proxy->mapRectToScene(key->keyRectF().translated(key->mapTo(scaled.rack, QPointF())));
    const QPointF tip = popup->graphicsProxyWidget()->mapToScene(popup->arrowTip());
    EXPECT_NEAR(tip.x(), keyInRack.center().x(), 1);
    EXPECT_NEAR(tip.y(), c.side == PickerPopup::Side::below ? keyInRack.bottom() : keyInRack.top(), 1);
    EXPECT_TRUE(QRectF(0, 0, 600, 600).contains(toRack(popup, popup->panelRect())));
    QWidget* content = popup->content();
    EXPECT_EQ(content->height() < content->sizeHint().height(), !c.genres) << "only a list is shortened";
    if (c.genres) {
        for (const MiniKey* genre : guide->genrePicker()->keys()) {
            EXPECT_TRUE(content->geometry().contains(genre->geometry().translated(content->pos())));
            EXPECT_TRUE(QRectF(0, 0, 600, 600).contains(toRack(genre, genre->keyRectF())));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rack, PickerPlacement,
                         testing::Values(Placement{"genresBelow", 30, true, PickerPopup::Side::below},
                                         Placement{"genresAbove", 330, true, PickerPopup::Side::above},
                                         Placement{"countriesShortBelow", 200, false, PickerPopup::Side::below},
                                         Placement{"countriesShortAbove", 330, false, PickerPopup::Side::above}),
                         [](const auto& info) { return std::string(info.param.name); });

// Over a faceplate of its own black the panel stands apart: a light edge round it and a shadow
// below it.
TEST(PickerPopup, ThePanelHasAnEdgeAndAShadow) {
    MiniKey key(QStringLiteral("GENRE"));
    auto* content = new QWidget;
    content->resize(200, 120);
    content->setAutoFillBackground(true);
    QPalette palette = content->palette();
    palette.setColor(QPalette::Window, KitColor::faceplateBlack);
    content->setPalette(palette);
    auto* popup = new PickerPopup(content, &key);
    const QColor backdrop = KitColor::faceplateBlack;
    QImage image(popup->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(backdrop);
    popup->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const int grey = backdrop.red();

    const QRect inner = content->geometry();
    int brightest = 0;
    for (int x = 0; x < inner.left(); ++x) brightest = std::max(brightest, qRed(image.pixel(x, inner.center().y())));
    EXPECT_GT(brightest, grey + 25) << "an edge left of the content";
    int darkest = 255;
    for (int y = inner.bottom() + 1; y < image.height(); ++y)
        darkest = std::min(darkest, qRed(image.pixel(inner.center().x(), y)));
    EXPECT_LT(darkest, grey - 6) << "a shadow below the panel";
    delete popup;
}

// A popover window of its own must not count on the desktop to composite it: over the studio it
// paints every pixel itself (its shadow over a picture of what it covers), and beyond the
// studio's window only its panel shows.
TEST(PickerPopup, AWindowOfItsOwnNeedsNoCompositing) {
    QWidget studio;
    studio.resize(500, 400);
    auto* key = new MiniKey(QStringLiteral("GENRE"), &studio);
    key->setKeyGeometry(QRect(400, 20, 90, 20));  // near the right edge: the popover overhangs it
    studio.show();
    QApplication::processEvents();
    auto* content = new QWidget;
    content->resize(200, 120);
    QPointer<PickerPopup> popup = new PickerPopup(content, key);
    popup->open();
    QApplication::processEvents();

    const QPoint origin = studio.mapFromGlobal(popup->pos());
    const QRect overStudio = QRect(origin, popup->size()) & studio.rect();
    ASSERT_LT(overStudio.width(), popup->width()) << "the popover reaches past the studio's window";
    QImage image(popup->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    popup->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    int seeThrough = 0;
    for (int y = overStudio.top(); y <= overStudio.bottom(); ++y)
        for (int x = overStudio.left(); x <= overStudio.right(); ++x)
            if (qAlpha(image.pixel(x - origin.x(), y - origin.y())) < 255) ++seeThrough;
    EXPECT_EQ(seeThrough, 0);
    const QRegion shown = popup->mask().isEmpty() ? QRegion(popup->rect()) : popup->mask();
    const QPoint shadowPastTheEdge(popup->width() - 2, popup->height() - 2);
    EXPECT_FALSE(shown.contains(shadowPastTheEdge));
    EXPECT_TRUE(shown.contains(popup->panelRect().center().toPoint()));
    popup->close();
}

}  // namespace
}  // namespace norvo
