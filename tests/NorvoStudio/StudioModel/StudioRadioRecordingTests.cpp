// A station recorded onto a cassette through the whole studio while its connection drops:
// the real stream, decoder, tuner engine, audio core and deck, a live station on loopback,
// and one hand-moved clock for the station, the stream and the studio.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>

#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Radio/RadioTunerStreamFactory.hpp"
#include "Support/LiveStation.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RadioFixtures.hpp"

namespace norvo {
namespace {

constexpr std::size_t bytesPerSecond = 16000;  // 128 kbit/s
// Ticks of 1/64 s: the clock adds them up without rounding, so a reconnection one second
// after a drop falls on a tick.
constexpr int ticksPerSecond = 64;

// The tuner's streams, kept so the test can wait on the one in use.
class KeptStreams final : public TunerStreamFactory {
public:
    explicit KeptStreams(RadioStream::Options options) : factory_(std::move(options)) {}
    std::shared_ptr<TunerStream> make(const std::string& url, const std::string& userAgent,
                                      double prebufferSeconds) override {
        last = factory_.make(url, userAgent, prebufferSeconds);
        return last;
    }
    std::shared_ptr<TunerStream> last;

private:
    RadioTunerStreamFactory factory_;
};

// A time code: the left channel climbs from -0.4 to 0.4 over every tenth of a second, the
// right one steps up at each tenth. Every frame of the station is told apart by its two
// levels, though all tenths correlate alike.
std::string timeCodedStation(double seconds) {
    test::TemporaryDirectory scratch;
    test::generateSignal(scratch / "timecode.mp3", {"-0.4+0.8*mod(n\\,4410)/4410", "-0.45+0.006*floor(n/4410)"},
                         seconds, 44100, [] {
                             auto args = test::RadioCodec::mp3Cbr(128);
                             args.insert(args.end() - 2, {"-write_xing", "0", "-id3v2_version", "0"});
                             return args;
                         }());
    return test::readBytes(scratch / "timecode.mp3");
}

// Where in the station's audio each stretch of `blockFrames` recorded frames came from.
// Recorded frames match the station's decoded frames at unit gain to the 16-bit step.
std::vector<int64_t> timeOfBlocks(const int16_t* recorded, int64_t frames, const test::StereoSamples& station,
                                  int64_t blockFrames) {
    const auto matches = [&](int64_t block, int64_t at) {
        if (at < 0 || at + blockFrames > int64_t(station.frames())) return false;
        for (int64_t i = 0; i < blockFrames; ++i) {
            const auto frame = std::size_t(at + i);
            const int16_t* sample = recorded + 2 * (block * blockFrames + i);
            if (std::fabs(float(sample[0]) / 32767.0f - station.left[frame]) > 2e-4f ||
                std::fabs(float(sample[1]) / 32767.0f - station.right[frame]) > 2e-4f)
                return false;
        }
        return true;
    };
    std::vector<int64_t> times;
    int64_t predicted = -1;
    for (int64_t block = 0; (block + 1) * blockFrames <= frames; ++block) {
        int64_t found = -1;
        if (matches(block, predicted)) {
            found = predicted;
        } else {
            for (int64_t at = 0; at + blockFrames <= int64_t(station.frames()) && found < 0; ++at)
                if (matches(block, at)) found = at;
        }
        times.push_back(found);
        predicted = found < 0 ? -1 : found + blockFrames;
    }
    return times;
}

TEST(StudioRadioRecording, ATimeCodedStationRecordedAcrossTwoDropsLosesAndRepeatsNothing) {
    const std::string audio = timeCodedStation(16.0);
    const test::StereoSamples decoded = test::decodedStation(audio);

    test::LoopbackHttpServer server(16, 120);
    auto clock = std::make_shared<test::ManualLoopClock>();
    auto fed = std::make_shared<std::atomic<uint64_t>>(0);
    RadioStream::Options streamOptions;
    streamOptions.loop = std::make_shared<HttpLoop>("studio-radio", clock);
    streamOptions.decoderFactory = test::countingDecoders(fed);
    KeptStreams streams(streamOptions);
    // Each listener first gets the last three seconds on the air.
    test::LiveStation station(server, "/live", clock,
                              {audio, double(bytesPerSecond), 3 * bytesPerSecond, 3 * bytesPerSecond});

    test::StudioFixture::Options options;
    options.tunerStreams = &streams;
    test::StudioFixture f(options);
    f.start();
    f.insertBlank();
    RadioStation timeCode = f.station("timecode", "Time Code FM");
    timeCode.streamURL = *Url::parse(server.url("/live"));

    // One tick of the studio, on one clock with the station and the stream: what the
    // station put on the air meanwhile is taken in before the tick renders.
    std::size_t connections = 1;
    int64_t tick = 0;
    const auto takenIn = [&] {
        if (!station.waitUntilSent(connections)) return false;
        uint64_t sent = 0;
        for (const auto& [from, to] : station.sent()) sent += to - from;
        return streamOptions.loop->waitUntil([&] { return fed->load() == sent; }, 20);
    };
    double reconnectAt = -1;
    const auto run = [&](double seconds) {
        for (int i = 0; i < int(seconds * ticksPerSecond); ++i) {
            clock->advance(1.0 / ticksPerSecond);
            if (reconnectAt >= 0 && clock->now() >= reconnectAt) {
                ++connections;
                reconnectAt = -1;
            }
            if (!takenIn()) return false;
            const int64_t frames = (tick + 1) * 44100 / ticksPerSecond - tick * 44100 / ticksPerSecond;
            ++tick;
            f.render(frames);
            f.tick(1.0 / ticksPerSecond);
        }
        return true;
    };
    // Drops the connection; the stream's first retry comes a second later.
    const auto drop = [&] {
        station.drop();
        ASSERT_TRUE(streamOptions.loop->waitUntil(
            [&] {
                return streams.last->currentStatus().network.state == RadioStream::Status::Network::State::reconnecting;
            },
            20));
        reconnectAt = clock->now() + 1.0;
    };

    f->tuner().tune(timeCode);
    ASSERT_TRUE(takenIn());
    f->setDeckInput(DeckInput::tuner);
    ASSERT_TRUE(run(1.0));
    ASSERT_TRUE(f->live().snapshot().tunerLocked);
    f->transport(TransportCommand::record);
    ASSERT_TRUE(run(3.0));
    drop();
    ASSERT_TRUE(run(4.0));
    drop();
    ASSERT_TRUE(run(4.0));
    f->transport(TransportCommand::stop);
    f.tick();
    ASSERT_EQ(station.sent().size(), 3u);
    EXPECT_EQ(f->tuner().reception(), TunerEngine::Reception::tuned());

    // Read back every hundredth of a second of the tape: each follows the one before.
    const int64_t recorded = f->cassetteSlot().media()->used(TapeSide::a);
    ASSERT_GT(recorded, 10 * 44100);
    const auto times = timeOfBlocks(f->cassetteSlot().media()->storage(TapeSide::a).frames(), recorded, decoded, 441);
    ASSERT_FALSE(times.empty());
    EXPECT_GE(times.front(), 0);
    for (std::size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], 0) << "the tape at " << double(i) / 100 << " s is none of the station's audio";
        EXPECT_NEAR(double(times[i] - times[i - 1]), 441, 441) << "the tape at " << double(i) / 100 << " s jumps by "
                                                               << double(times[i] - times[i - 1] - 441) / 44.1 << " ms";
    }
    station.close();
}

}  // namespace
}  // namespace norvo
