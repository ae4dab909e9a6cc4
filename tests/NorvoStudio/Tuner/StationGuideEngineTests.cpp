// The guide over the real tuner engine and directory client, with the directory on loopback.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include "AudioEngine/AudioCore.hpp"
#include "Kit/MiniKey.hpp"
#include "NorvoStudio/Support/QuietDesktop.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/RunLoopExecutor.hpp"
#include "Radio/BrowserTunerDirectory.hpp"
#include "Radio/TunerEngine.hpp"
#include "Support/FakeClock.hpp"
#include "Support/FakeTunerStreamFactory.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Tuner/CountryPicker.hpp"
#include "Tuner/EngineTuner.hpp"
#include "Tuner/GenrePicker.hpp"
#include "Tuner/StationGuide.hpp"
#include "Tuner/StationList.hpp"
#include "Tuner/StatusOverlay.hpp"

namespace norvo {
namespace {

using test::LoopbackHttpServer;

// The guide over the real tuner engine, whose directory client asks only `server`.
struct GuideOverTheEngine {
    explicit GuideOverTheEngine(const LoopbackHttpServer& server) : client(configuration(server)) {
        guide.resize(266, 300);
        guide.show();
    }
    static RadioBrowserClient::Configuration configuration(const LoopbackHttpServer& server) {
        RadioBrowserClient::Configuration configuration;
        configuration.scheme = "http";
        configuration.listHost = "127.0.0.1:1";  // no server list: the one fallback server
        configuration.fallbackServers = {"127.0.0.1:" + std::to_string(server.port())};
        configuration.timeoutSeconds = 5;
        configuration.userAgent = RadioBrowserClient::userAgent;
        configuration.locale = Locale("en_US");
        return configuration;
    }

    RadioBrowserClient client;
    BrowserTunerDirectory directory{client};
    test::FakeTunerStreamFactory streams;
    AudioCore core;
    InMemoryDefaultsStore defaults;
    RunLoopExecutor executor;
    TunerEngine engine{core, defaults, directory, streams, executor, Locale("de_DE")};
    EngineTuner tuner{engine, Locale("de_DE")};
    test::QuietDesktop desktop;
    test::FakeClock clock;
    StationGuide guide{tuner, desktop, clock, "en_US"};
};

std::string jazzRows() {
    JSONValue::Array rows;
    for (int i = 0; i < 3; ++i) {
        JSONValue::Object row{{"stationuuid", "jazz-" + std::to_string(i)},
                              {"name", "Jazz " + std::to_string(i)},
                              {"url", "http://127.0.0.1:9/jazz" + std::to_string(i)},
                              {"homepage", i == 1 ? "javascript:alert(1)" : "https://jazz.example/"},
                              {"codec", "MP3"},
                              {"bitrate", 128},
                              {"countrycode", "DE"},
                              {"tags", "jazz"},
                              {"hls", 0},
                              {"lastcheckok", 1}};
        rows.emplace_back(std::move(row));
    }
    return JSONValue(std::move(rows)).compact();
}

TEST(StationGuideWithTheEngine, PicksAGenreListsItsStationsAndTunesOne) {
    LoopbackHttpServer server(32, 60);
    server.route("/json/stations/search", [](const LoopbackHttpServer::Request& request) {
        LoopbackHttpServer::Script script;
        script.headers = {{"Content-Type", "application/json"}};
        script.body = request.target.find("tag=jazz") != std::string::npos ? jazzRows() : "[]";
        return script;
    });
    LoopbackHttpServer::Script countries;
    countries.body = R"([{"name":"Germany","iso_3166_1":"DE","stationcount":12}])";
    server.route("/json/countries", countries);

    GuideOverTheEngine rig(server);
    TunerEngine& engine = rig.engine;
    RunLoopExecutor& executor = rig.executor;
    StationGuide& guide = rig.guide;

    ASSERT_NE(guide.homeKey(), nullptr);
    EXPECT_EQ(guide.homeKey()->label().text, "DE");
    EXPECT_EQ(guide.overlay()->shownCase(), StatusOverlay::Case::tunerOff);

    guide.genreKey()->click();
    ASSERT_TRUE(guide.genrePicker());
    guide.genrePicker()->keys()[2]->click();  // JAZZ
    EXPECT_EQ(engine.band().query, TunerEngine::Query::genre("jazz"));
    EXPECT_EQ(guide.overlay()->shownCase(), StatusOverlay::Case::scanning);
    ASSERT_TRUE(executor.runUntil([&] { return !engine.bandLoading(); }, 20));
    EXPECT_TRUE(guide.genreKey()->keyStyle().lit);
    ASSERT_EQ(guide.list()->model()->rowCount(), 3);
    EXPECT_EQ(guide.overlay()->shownCase(), StatusOverlay::Case::hidden);

    // The javascript: homepage of the directory's second row is not offered to the browser.
    auto menu = guide.rowMenu(engine.band().stations[1]);
    for (QAction* action : menu->actions()) EXPECT_NE(action->text(), "Open Station Website");

    const QRect row = guide.list()->visualRect(guide.list()->model()->index(2, 0));
    QTest::mouseClick(guide.list()->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(guide.list()->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_TRUE(engine.isOn());
    ASSERT_TRUE(engine.station());
    EXPECT_EQ(engine.station()->id, "jazz-2");
    EXPECT_EQ(engine.dial(), 2);
    EXPECT_EQ(guide.list()->selection(), "jazz-2");

    // Switching on started the country list; the picker shows it once it is there.
    guide.countryKey()->click();
    ASSERT_TRUE(executor.runUntil([&] { return !engine.countries().empty(); }, 20));
    ASSERT_TRUE(guide.countryPicker());
    EXPECT_EQ(guide.countryPicker()->shownCodes(), (std::vector<std::string>{"DE"}));
    guide.countryPicker()->clickRow(0);
    EXPECT_EQ(engine.band().query, TunerEngine::Query::country("DE"));
    EXPECT_TRUE(guide.homeKey()->keyStyle().lit);
    ASSERT_TRUE(executor.runUntil([&] { return !engine.bandLoading(); }, 20));
    EXPECT_EQ(guide.overlay()->shownCase(), StatusOverlay::Case::noStations);
}

TEST(StationGuideWithTheEngine, WithoutTheDirectoryTheCountryPopoverSaysSoAndTriesAgain) {
    // The directory cannot be reached until the third request for the countries.
    LoopbackHttpServer server(32, 60);
    LoopbackHttpServer::Script unreachable;
    unreachable.emptyReply = true;
    LoopbackHttpServer::Script countries;
    countries.body = R"([{"name":"Germany","iso_3166_1":"DE","stationcount":12}])";
    server.routeSequence("/json/countries", {unreachable, unreachable, countries});
    server.route("/json/stations/search", unreachable);

    GuideOverTheEngine rig(server);
    TunerEngine& engine = rig.engine;
    RunLoopExecutor& executor = rig.executor;
    StationGuide& guide = rig.guide;

    // Switching on asks for the band and the countries; both fail.
    engine.powerOn();
    ASSERT_TRUE(executor.runUntil([&] { return engine.bandError() && engine.countriesError(); }, 20));
    EXPECT_EQ(guide.overlay()->shownCase(), StatusOverlay::Case::error);

    // The key asks once more, with the spinner while it runs; that fails too.
    guide.countryKey()->click();
    CountryPicker* picker = guide.countryPicker();
    ASSERT_TRUE(picker);
    EXPECT_TRUE(picker->showsSpinner());
    ASSERT_TRUE(executor.runUntil([&] { return !picker->showsSpinner(); }, 20));
    EXPECT_TRUE(picker->showsLoadError());
    EXPECT_EQ(picker->loadErrorMessage(), QString::fromUtf8("No Directory \u2014 Check The Internet Connection"));
    ASSERT_TRUE(picker->tryAgainKey()->isVisible());
    EXPECT_TRUE(picker->shownCodes().empty());

    picker->tryAgainKey()->click();
    EXPECT_TRUE(picker->showsSpinner());
    EXPECT_FALSE(picker->tryAgainKey()->isVisible());
    ASSERT_TRUE(executor.runUntil([&] { return !engine.countries().empty(); }, 20));
    ASSERT_EQ(guide.countryPicker(), picker);
    EXPECT_FALSE(picker->showsLoadError());
    EXPECT_EQ(picker->shownCodes(), (std::vector<std::string>{"DE"}));
    EXPECT_EQ(server.requestCount("/json/countries"), 3u);
}

}  // namespace
}  // namespace norvo
