#include "Support/FakeClock.hpp"
#include "Tuner/StationGuide.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <chrono>

#include "Kit/MiniKey.hpp"
#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Tuner/CountryPicker.hpp"
#include "Tuner/DesktopServices.hpp"
#include "Tuner/GenrePicker.hpp"
#include "Tuner/SearchField.hpp"
#include "Tuner/StationList.hpp"
#include "Tuner/StatusOverlay.hpp"

namespace norvo {
namespace {

using test::FakeTuner;
using test::makeBand;
using test::makeStation;
using Call = FakeTuner::Call;
using Query = TunerFacade::Query;
using Case = StatusOverlay::Case;

class RecordingDesktop final : public DesktopServices {
public:
    void copyPlainText(const QString& text) override { copied.push_back(text); }
    void openInBrowser(const QUrl& url) override { opened.push_back(url); }
    std::vector<QString> copied;
    std::vector<QUrl> opened;
};

class StationGuideTest : public testing::Test {
protected:
    std::unique_ptr<StationGuide> makeGuide() {
        auto guide = std::make_unique<StationGuide>(tuner, desktop, clock, "en_US");
        guide->resize(266, 300);
        guide->show();
        QApplication::processEvents();
        return guide;
    }

    void setBand(Query query, int count) {
        tuner.bandState = {std::move(query), makeBand(count)};
        tuner.publish();
    }

    static std::vector<QString> titles(const QMenu& menu) {
        std::vector<QString> list;
        for (QAction* action : menu.actions()) list.push_back(action->isSeparator() ? "--" : action->text());
        return list;
    }

    FakeTuner tuner;
    RecordingDesktop desktop;
    test::FakeClock clock;
};

TEST_F(StationGuideTest, BandKeysLightForTheirBandAndLoadIt) {
    tuner.bandState.query = Query::country("DE");
    auto guide = makeGuide();
    ASSERT_NE(guide->homeKey(), nullptr);
    EXPECT_EQ(guide->homeKey()->label().text, "DE");
    EXPECT_TRUE(guide->homeKey()->keyStyle().lit);
    EXPECT_FALSE(guide->countryKey()->keyStyle().lit);
    EXPECT_TRUE(guide->homeKey()->toolTip().contains("Stations from Germany"));
    EXPECT_EQ(guide->worldKey()->toolTip(), "The most listened-to stations worldwide right now");

    setBand(Query::country("FR"), 0);
    EXPECT_FALSE(guide->homeKey()->keyStyle().lit);
    EXPECT_TRUE(guide->countryKey()->keyStyle().lit);
    setBand(Query::genre("jazz"), 0);
    EXPECT_TRUE(guide->genreKey()->keyStyle().lit);
    EXPECT_FALSE(guide->countryKey()->keyStyle().lit);

    guide->worldKey()->click();
    guide->worldKey()->click();
    guide->homeKey()->click();
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"loadBand", "top"}, {"loadBand", "top"}, {"loadBand", "country:DE"}}));
}

TEST_F(StationGuideTest, WithoutAHomeCountryThreeKeysAndCountryLitForEveryCountry) {
    tuner.home = Query::top();
    tuner.bandState.query = Query::country("DE");
    auto guide = makeGuide();
    EXPECT_EQ(guide->homeKey(), nullptr);
    EXPECT_TRUE(guide->countryKey()->keyStyle().lit);
    EXPECT_EQ(guide->findChildren<MiniKey*>(Qt::FindDirectChildrenOnly).size(), 3u);
}

// The band keys share the 266-point row evenly, as drawn: four of 62.75 points or three of
// 85.33, 5 points apart. At four pixels a point every quarter point is a whole pixel.
TEST_F(StationGuideTest, BandKeysAreEqualAndFivePointsApart) {
    for (const int count : {4, 3}) {
        if (count == 3) tuner.home = Query::top();
        auto guide = makeGuide();
        QImage image(guide->size() * 4, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(4);
        image.fill(Qt::black);
        guide->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const int y = int(guide->worldKey()->mapTo(guide.get(), guide->worldKey()->keyRectF().center()).y() * 4);
        std::vector<int> edges;  // where the row turns from a cap to black and back
        for (int x = 1; x < image.width(); ++x)
            if ((qRed(image.pixel(x, y)) >= 24) != (qRed(image.pixel(x - 1, y)) >= 24)) edges.push_back(x);
        // The first cap starts at the row's start and the last ends at its end: no edge there.
        ASSERT_EQ(edges.size(), std::size_t(2 * count - 2));
        const double width = (266.0 - 5 * (count - 1)) / count;
        for (int key = 0; key + 1 < count; ++key) {
            EXPECT_NEAR(edges[2 * key], (key * (width + 5) + width) * 4, 1) << count << " keys, end of " << key;
            EXPECT_NEAR(edges[2 * key + 1], (key + 1) * (width + 5) * 4, 1) << count << " keys, start of " << key + 1;
        }
    }
}

TEST_F(StationGuideTest, GenrePickerTogglesLightsTheBandsGenreAndPicksTheListedTag) {
    tuner.bandState.query = Query::genre("world music");
    auto guide = makeGuide();
    guide->searchField()->setText("jazz");
    guide->genreKey()->click();
    ASSERT_TRUE(guide->showingGenres());
    GenrePicker* picker = guide->genrePicker();
    ASSERT_EQ(picker->keys().size(), 32u);
    int lit = 0;
    for (MiniKey* key : picker->keys()) lit += key->keyStyle().lit;
    EXPECT_EQ(lit, 1);
    EXPECT_TRUE(picker->keys()[30]->keyStyle().lit);
    EXPECT_EQ(picker->keys()[30]->label().text, "WORLD MUSIC");
    EXPECT_EQ(picker->keys()[0]->keyRect().width(), 86);

    guide->genreKey()->click();  // pressed again: closes
    EXPECT_FALSE(guide->showingGenres());
    guide->genreKey()->click();
    guide->genrePicker()->keys()[25]->click();  // "80S"
    EXPECT_FALSE(guide->showingGenres());
    EXPECT_EQ(guide->searchField()->text(), "");
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"loadBand", "genre:80s"}}));
}

TEST_F(StationGuideTest, CountryKeyLoadsTheListOnEveryPressWhileItIsMissing) {
    tuner.bandState.query = Query::country("DE");
    auto guide = makeGuide();
    guide->countryKey()->click();
    ASSERT_TRUE(guide->showingCountries());
    EXPECT_TRUE(guide->countryPicker()->showsSpinner());
    guide->countryKey()->click();  // closes, and asks again
    EXPECT_FALSE(guide->showingCountries());
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"startCountriesLoad"}, {"startCountriesLoad"}}));

    guide->countryKey()->click();
    tuner.countryList = {{"DE", "Germany", 3000}, {"FR", "France", 2000}};
    tuner.publish();  // the list arrives while the picker is open
    CountryPicker* picker = guide->countryPicker();
    EXPECT_FALSE(picker->showsSpinner());
    EXPECT_EQ(picker->shownCodes(), (std::vector<std::string>{"DE", "FR"}));
    EXPECT_TRUE(picker->rowIsSelected(0));  // the home band counts as current
    EXPECT_FALSE(picker->rowIsSelected(1));

    tuner.calls.clear();
    guide->searchField()->setText("rock");
    picker->clickRow(1);
    EXPECT_FALSE(guide->showingCountries());
    EXPECT_EQ(guide->searchField()->text(), "");
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"loadBand", "country:FR"}}));

    tuner.calls.clear();
    guide->countryKey()->click();  // the list is there now: no load
    EXPECT_TRUE(tuner.calls.empty());
}

TEST_F(StationGuideTest, SearchSubmitAndClear) {
    tuner.bandState.query = Query::genre("jazz");
    auto guide = makeGuide();
    QLineEdit* field = guide->searchField()->lineEdit();
    EXPECT_FALSE(guide->searchField()->clearButton()->isVisible());

    QTest::keyClicks(field, " \t ");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(tuner.calls.empty());
    field->setText("  jazz  ");
    EXPECT_TRUE(guide->searchField()->clearButton()->isVisible());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"loadBand", "search:jazz"}}));
    EXPECT_EQ(field->text(), "  jazz  ");

    tuner.calls.clear();
    guide->searchField()->clearButton()->click();  // a genre band stays
    EXPECT_EQ(field->text(), "");
    EXPECT_TRUE(tuner.calls.empty());

    setBand(Query::search("jazz"), 0);
    EXPECT_TRUE(guide->searchField()->lit());
    field->setText("jazz");
    guide->searchField()->clearButton()->click();
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"loadBand", "country:DE"}}));
}

TEST_F(StationGuideTest, FirstShowRestoresTheSearchOfASearchBand) {
    tuner.bandState.query = Query::search("bbc radio");
    auto guide = makeGuide();
    EXPECT_EQ(guide->searchField()->text(), "bbc radio");
}

TEST_F(StationGuideTest, DoubleClickAndReturnTuneTheRow) {
    tuner.bandState = {Query::top(), makeBand(200)};
    auto guide = makeGuide();
    StationList* list = guide->list();
    ASSERT_EQ(list->model()->rowCount(), 200);

    const QRect row = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(list->selection(), "station-2");  // the first click selected it
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"tune", "station-2"}}));

    tuner.calls.clear();
    EXPECT_TRUE(guide->tuneSelected(std::string("station-7")));
    EXPECT_FALSE(guide->tuneSelected(std::nullopt));
    EXPECT_FALSE(guide->tuneSelected(std::string("gone")));
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"tune", "station-7"}}));

    // Return in the list tunes the selection; without one the key goes on unhandled.
    tuner.calls.clear();
    list->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    EXPECT_TRUE(press.isAccepted());
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"tune", "station-2"}}));
    list->clearSelection();
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list, &again);
    EXPECT_FALSE(again.isAccepted());
}

TEST_F(StationGuideTest, TheListFollowsTheDialButNotOnFirstShow) {
    tuner.bandState = {Query::top(), makeBand(200)};
    tuner.dialPosition = 150;
    auto guide = makeGuide();
    StationList* list = guide->list();
    EXPECT_FALSE(list->selection());

    tuner.dialPosition = 120;
    tuner.publish();
    EXPECT_EQ(list->selection(), "station-120");
    const int rowCentre = 120 * 22 + 11;
    EXPECT_NEAR(list->scrollTarget() + list->viewport()->height() / 2, rowCentre, 1);

    tuner.dialPosition = std::nullopt;
    tuner.publish();
    tuner.dialPosition = 200;  // beyond the band
    tuner.publish();
    EXPECT_EQ(list->selection(), "station-120");
}

TEST_F(StationGuideTest, RowMenuOffersEveryActionAndOnlyWebAddresses) {
    tuner.bandState = {Query::top(), makeBand(3)};
    tuner.presetSlots[2] = makeStation(9);
    tuner.presetSlots[2]->name = "Rock & Roll";
    auto guide = makeGuide();

    RadioStation station = makeStation(1);
    station.homepage = Url::parse("javascript:alert(1)");
    auto menu = guide->rowMenu(station);
    EXPECT_EQ(titles(*menu), (std::vector<QString>{"Tune In", "Store in Preset", "--", "Copy Stream Address"}));
    QMenu* store = menu->actions()[1]->menu();
    ASSERT_EQ(store->actions().size(), 8);
    EXPECT_EQ(store->actions()[0]->text(), "P1");
    EXPECT_EQ(store->actions()[2]->text(), QString::fromUtf8("P3  \u2014  \u2068Rock && Roll\u2069"));

    menu->actions()[0]->trigger();
    store->actions()[7]->trigger();
    menu->actions()[3]->trigger();
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"tune", "station-1"}, {"store", "station-1@7"}}));
    EXPECT_EQ(desktop.copied, (std::vector<QString>{"http://radio.invalid/1"}));

    station.homepage = Url::parse("HTTPS://radio.example/home");
    auto web = guide->rowMenu(station);
    EXPECT_EQ(titles(*web), (std::vector<QString>{"Tune In", "Store in Preset", "--", "Open Station Website",
                                                  "Copy Stream Address"}));
    web->actions()[3]->trigger();
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0].host(), "radio.example");
}

TEST_F(StationGuideTest, OverlaySaysWhyTheBandIsEmpty) {
    auto guide = makeGuide();
    StatusOverlay* overlay = guide->overlay();
    EXPECT_EQ(overlay->shownCase(), Case::tunerOff);
    EXPECT_EQ(overlay->message(), "Switch the tuner on to scan the band");

    tuner.on = true;
    tuner.publish();
    EXPECT_EQ(overlay->message(), "No stations found");

    tuner.on = false;
    tuner.loading = true;
    tuner.publish();
    EXPECT_EQ(overlay->message(), QString::fromUtf8("Scanning the band\u2026"));

    tuner.loading = false;
    tuner.error = TunerEngine::bandErrorText;
    tuner.publish();
    EXPECT_EQ(overlay->shownCase(), Case::error);
    EXPECT_EQ(overlay->message(), QString::fromUtf8("No Directory \u2014 Check The Internet Connection"));
    EXPECT_TRUE(overlay->tryAgainKey()->isVisible());
    overlay->tryAgainKey()->click();
    EXPECT_EQ(tuner.calls, (std::vector<Call>{{"reloadBand"}}));

    // Stations win over every other state.
    tuner.loading = true;
    setBand(Query::top(), 3);
    EXPECT_EQ(overlay->shownCase(), Case::hidden);
    EXPECT_FALSE(overlay->isVisible());
}

// The spinners of the scanning list and of the loading country list turn with the guide's
// clock: a spoke on every 100 ms, once round in 800.
TEST_F(StationGuideTest, SpinnersTurnWithTheGuidesClock) {
    tuner.on = true;
    tuner.loading = true;
    auto guide = makeGuide();
    ASSERT_EQ(guide->overlay()->shownCase(), Case::scanning);
    guide->countryKey()->click();
    ASSERT_TRUE(guide->countryPicker()->showsSpinner());
    for (QWidget* spinning : {static_cast<QWidget*>(guide->overlay()), static_cast<QWidget*>(guide->countryPicker())}) {
        const auto picture = [&] {
            QImage image(spinning->size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::black);
            spinning->render(&image);
            return image;
        };
        clock.set(Date(std::chrono::milliseconds(1'800'000'000'050)));
        const QImage first = picture();
        clock.advance(std::chrono::milliseconds(100));
        EXPECT_FALSE(picture() == first) << spinning->metaObject()->className();
        clock.advance(std::chrono::milliseconds(700));
        EXPECT_TRUE(picture() == first) << spinning->metaObject()->className();
    }
}

}  // namespace
}  // namespace norvo
