#include "Tuner/PickerPopup.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>

#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Rack/Kit/MiniKey.hpp"
#include "Tuner/DesktopServices.hpp"
#include "Tuner/StationGuide.hpp"

namespace norvo {
namespace {

class NoDesktop final : public DesktopServices {
public:
    void copyPlainText(const QString&) override {}
    void openInBrowser(const QUrl&) override {}
};

// The rack shows the faces scaled inside a graphics view: a picker must open there, under
// its key, not somewhere on the screen.
TEST(PickerPopup, OpensUnderItsKeyInsideAScaledRack) {
    test::FakeTuner tuner;
    NoDesktop desktop;
    QGraphicsScene scene;
    auto* guide = new StationGuide(tuner, desktop, "en_US");
    guide->resize(266, 300);
    QGraphicsProxyWidget* proxy = scene.addWidget(guide);
    proxy->setPos(40, 30);
    scene.setSceneRect(0, 0, 600, 600);  // as the rack does: the view does not scroll
    QGraphicsView view(&scene);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.scale(0.75, 0.75);
    view.resize(400, 400);
    view.show();
    QApplication::processEvents();

    guide->pressGenres();
    QApplication::processEvents();
    ASSERT_TRUE(guide->showingGenres());
    QGraphicsProxyWidget* popupProxy = guide->genrePopup()->graphicsProxyWidget();
    ASSERT_NE(popupProxy, nullptr);
    const QPointF keyBottom = proxy->mapToScene(QPointF(guide->genreKey()->geometry().center().x(),
                                                        guide->genreKey()->geometry().bottom()));
    EXPECT_NEAR(popupProxy->scenePos().y(), keyBottom.y(), 4);
    EXPECT_NEAR(popupProxy->scenePos().x() + guide->genrePopup()->width() / 2.0, keyBottom.x(), 4);
    guide->pressGenres();
    EXPECT_FALSE(guide->showingGenres());
}

}  // namespace
}  // namespace norvo
