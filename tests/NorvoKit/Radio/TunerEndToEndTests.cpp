// The tuner against a loopback directory and a loopback station, through the real
// directory client, radio stream, decoder and audio core.
#include <gtest/gtest.h>

#include <memory>

#include "Platform/RunLoopExecutor.hpp"
#include "Radio/BrowserTunerDirectory.hpp"
#include "Radio/RadioTunerStreamFactory.hpp"
#include "Radio/TunerEngine.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RadioFixtures.hpp"
#include "Support/SignalMeasure.hpp"

namespace norvo {
namespace {

using test::LoopbackHttpServer;

std::string stationRows(const std::string& streamURL, int count) {
    JSONValue::Array rows;
    for (int i = 0; i < count; ++i) {
        JSONValue::Object row{{"stationuuid", "e2e-" + std::to_string(i)},
                              {"name", "Loopback " + std::to_string(i)},
                              {"url", streamURL + "?station=" + std::to_string(i)},
                              {"codec", "MP3"},
                              {"bitrate", 128},
                              {"countrycode", "DE"},
                              {"tags", "test"},
                              {"hls", 0},
                              {"lastcheckok", 1}};
        rows.emplace_back(std::move(row));
    }
    return JSONValue(std::move(rows)).compact();
}

class TunerEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        // 40 s of a 440/1000 Hz tone as a station sends it, with its title in the first
        // metadata block, paced at four times real time so the connection stays open.
        const std::string mp3 = test::encodedTone("mp3", test::RadioCodec::mp3Cbr(128), 40, 44100, 2);
        LoopbackHttpServer::Script stream;
        stream.statusLine = "ICY 200 OK";
        stream.headers = {
            {"Content-Type", "audio/mpeg"}, {"icy-metaint", "16000"}, {"icy-br", "128"}, {"icy-name", "Loopback FM"}};
        stream.body = LoopbackHttpServer::icyInterleave(mp3, 16000, {"StreamTitle='Loopback Song';"});
        stream.pieceBytes = 6400;
        stream.pieceInterval = 0.1;
        station.route("/stream", stream);

        LoopbackHttpServer::Script rows;
        rows.headers = {{"Content-Type", "application/json"}};
        rows.body = stationRows(station.url("/stream"), 12);
        directoryServer.route("/json/stations/search", rows);
        LoopbackHttpServer::Script countries;
        countries.body = R"([{"name":"Germany","iso_3166_1":"DE","stationcount":12}])";
        directoryServer.route("/json/countries", countries);
        directoryServer.route("/json/url", [](const LoopbackHttpServer::Request&) {
            LoopbackHttpServer::Script ok;
            ok.body = "{}";
            return ok;
        });

        RadioBrowserClient::Configuration configuration;
        configuration.scheme = "http";
        configuration.listHost = "127.0.0.1:1";  // no list: the fallback server alone
        configuration.fallbackServers = {"127.0.0.1:" + std::to_string(directoryServer.port())};
        configuration.timeoutSeconds = 5;
        configuration.userAgent = RadioBrowserClient::userAgent;
        client = std::make_unique<RadioBrowserClient>(configuration);
        directory = std::make_unique<BrowserTunerDirectory>(*client);

        RadioStream::Options options;
        options.loop = std::make_shared<HttpLoop>("e2e-radio", clock);
        streams = std::make_unique<RadioTunerStreamFactory>(options);

        core.setDeckInput(DeckInput::tuner);
        engine = std::make_unique<TunerEngine>(core, defaults, *directory, *streams, executor, Locale(""));
    }

    void TearDown() override {
        engine.reset();
        streams.reset();
        client.reset();
    }

    // One studio tick: the render thread's share of audio, then the tuner's update.
    // Whether a tick renders a chunk and keeps what was heard, or leaves that to the caller.
    enum class Render { heard, byCaller };
    void tick(Render render = Render::heard) {
        if (render == Render::heard) {
            core.render(735, left.data(), right.data());
            heardLeft.insert(heardLeft.end(), left.begin(), left.begin() + 735);
            heardRight.insert(heardRight.end(), right.begin(), right.begin() + 735);
        }
        engine->tick();
    }

    bool tickUntil(const std::function<bool()>& done, double seconds, Render render = Render::heard) {
        return executor.runUntil(
            [&] {
                tick(render);
                return done();
            },
            seconds);
    }

    LoopbackHttpServer station{16, 120};
    LoopbackHttpServer directoryServer{32, 120};
    std::shared_ptr<test::ManualLoopClock> clock = std::make_shared<test::ManualLoopClock>();
    std::unique_ptr<RadioBrowserClient> client;
    std::unique_ptr<BrowserTunerDirectory> directory;
    std::unique_ptr<RadioTunerStreamFactory> streams;
    AudioCore core;
    InMemoryDefaultsStore defaults;
    RunLoopExecutor executor;
    std::unique_ptr<TunerEngine> engine;
    std::vector<float> left = std::vector<float>(735), right = std::vector<float>(735);
    std::vector<float> heardLeft, heardRight;
};

TEST_F(TunerEndToEndTest, TunesPresetOnePlaysTheToneAndReportsTheLossOfTheStation) {
    engine->powerOn();
    ASSERT_TRUE(executor.runUntil([&] { return engine->presets()[7].has_value(); }, 20))
        << "automatic memory did not fill the presets";
    EXPECT_EQ(engine->band().stations.size(), 12u);
    EXPECT_EQ(engine->presets()[0]->id, "e2e-0");
    // Automatic memory tunes P1 on a tuner that has no station yet.
    ASSERT_TRUE(engine->station());
    EXPECT_EQ(engine->station()->id, "e2e-0");
    EXPECT_EQ(engine->currentPresetIndex(), 0);

    bool sawBuffering = false;
    ASSERT_TRUE(tickUntil(
        [&] {
            sawBuffering |= engine->reception().kind == TunerEngine::Reception::Kind::buffering;
            return engine->reception() == TunerEngine::Reception::tuned() &&
                   engine->nowPlaying() == std::optional<std::string>("Loopback Song");
        },
        30))
        << "the station never played with its title";
    EXPECT_TRUE(sawBuffering);
    EXPECT_TRUE(engine->isStereo());
    EXPECT_EQ(engine->streamFormat(), "MP3 128k");

    // A second of what the tuner path delivers carries the station's tone on each side.
    heardLeft.clear();
    heardRight.clear();
    for (int i = 0; i < 60; ++i) tick();
    EXPECT_GT(test::toneAmplitude(heardLeft, 440), 0.2);
    EXPECT_LT(test::toneAmplitude(heardLeft, 1000), 0.02);
    EXPECT_GT(test::toneAmplitude(heardRight, 1000), 0.2);

    // The station goes away: the stream reconnects, the buffer runs out, and after its
    // retries the tuner shows the receiver's reason.
    station.stop();
    ASSERT_TRUE(tickUntil([&] { return engine->reconnecting(); }, 20));
    ASSERT_TRUE(tickUntil(
        [&] {
            // Play out what is buffered quickly, and let the retry delays pass.
            for (int i = 0; i < 40; ++i) core.render(735, left.data(), right.data());
            clock->advance(1.0);
            return engine->reception().kind == TunerEngine::Reception::Kind::noSignal;
        },
        60, Render::byCaller));
    EXPECT_EQ(engine->reception(), TunerEngine::Reception::noSignal("Station off the air"));
    EXPECT_FALSE(engine->reconnecting());
}

}  // namespace
}  // namespace norvo
