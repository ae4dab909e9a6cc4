// A station recorded onto a cassette through the whole studio while its connection drops:
// the real stream, decoder, tuner engine, audio core and deck, a live station on loopback,
// and one hand-moved clock for the station, the stream and the studio.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Radio/RadioTunerStreamFactory.hpp"
#include "Support/LiveStation.hpp"
#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"
#include "Support/RadioFixtures.hpp"
#include "Support/SignalMeasure.hpp"

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

// MP3 without an ID3 tag or info frame, so that byte offsets map onto codec frames.
std::vector<std::string> bareMp3() {
    auto args = test::RadioCodec::mp3Cbr(128);
    args.insert(args.end() - 2, {"-write_xing", "0", "-id3v2_version", "0"});
    return args;
}

// A time code: the left channel climbs from -0.4 to 0.4 over every tenth of a second, the
// right one steps up at each tenth. Every frame of the station is told apart by its two
// levels, though all tenths correlate alike.
std::string timeCodedStation(double seconds) {
    test::TemporaryDirectory scratch;
    test::generateSignal(scratch / "timecode.mp3", {"-0.4+0.8*mod(n\\,4410)/4410", "-0.45+0.006*floor(n/4410)"},
                         seconds, 44100, bareMp3());
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

double correlation(std::span<const float> a, std::span<const float> b) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// Where the first `frames` of `tape` lie in `source`: by 32-frame averages over the whole
// source, then to the frame.
int64_t placeInSource(const std::vector<float>& tape, const std::vector<float>& source, std::size_t frames) {
    const auto averages = [](const std::vector<float>& x, std::size_t count) {
        std::vector<float> out(count / 32);
        for (std::size_t k = 0; k < out.size(); ++k)
            for (std::size_t i = 0; i < 32; ++i) out[k] += x[k * 32 + i] / 32;
        return out;
    };
    const std::vector<float> t = averages(tape, frames), s = averages(source, source.size());
    // Of the places as good as the best (the phrases repeat), the first.
    std::vector<double> r(s.size() - t.size() + 1);
    for (std::size_t k = 0; k < r.size(); ++k) r[k] = correlation(t, std::span<const float>(s).subspan(k, t.size()));
    const double best = *std::max_element(r.begin(), r.end());
    const std::size_t at =
        32 * std::size_t(std::find_if(r.begin(), r.end(), [&](double v) { return v >= best - 0.01; }) - r.begin());
    // The span searched begins `near` before the coarse place: the lag is where in it.
    constexpr std::size_t near = 64;
    const std::size_t from = std::min(at >= near ? at - near : 0, source.size() - frames - 2 * near);
    return int64_t(from) + test::bestLag(std::span<const float>(tape).first(frames),
                                         std::span<const float>(source).subspan(from, frames + 2 * near), 2 * near);
}

// A station, the studio and its tuner's streams on one hand-moved clock; the studio ticks
// and renders as the clock moves.
class StudioRadioRecording : public testing::Test {
protected:
    test::LoopbackHttpServer server{16, 120};
    std::shared_ptr<test::ManualLoopClock> clock = std::make_shared<test::ManualLoopClock>();
    std::shared_ptr<std::atomic<uint64_t>> fed = std::make_shared<std::atomic<uint64_t>>(0);
    RadioStream::Options streamOptions = [this] {
        RadioStream::Options options;
        options.loop = std::make_shared<HttpLoop>("studio-radio", clock);
        options.decoderFactory = test::countingDecoders(fed);
        // A join's comparisons hand their result to the loop at once, not after some ticks.
        options.comparisons = [](std::function<void()> compare) { compare(); };
        return options;
    }();
    KeptStreams streams{streamOptions};
    std::optional<test::LiveStation> station;
    std::optional<test::StudioFixture> f;
    std::size_t connections = 1;
    int64_t tick = 0;
    double reconnectAt = -1;

    void TearDown() override {
        f.reset();
        if (station) station->close();
    }

    // Tunes the studio to the station and records it from a second in.
    void record(test::LiveStation::Options options) {
        station.emplace(server, "/live", clock, std::move(options));
        test::StudioFixture::Options studio;
        studio.tunerStreams = &streams;
        f.emplace(studio);
        f->start();
        f->insertBlank();
        RadioStation live = f->station("live", "Live FM");
        live.streamURL = *Url::parse(server.url("/live"));
        (*f)->tuner().tune(live);
        ASSERT_TRUE(takenIn());
        (*f)->setDeckInput(DeckInput::tuner);
        ASSERT_TRUE(run(1.0));
        ASSERT_TRUE((*f)->live().snapshot().tunerLocked);
        (*f)->transport(TransportCommand::record);
    }

    // What the station put on the air is taken in before the tick renders.
    bool takenIn() {
        if (!station->waitUntilSent(connections)) return false;
        uint64_t sent = 0;
        for (const auto& [from, to] : station->sent()) sent += to - from;
        return streamOptions.loop->waitUntil([&] { return fed->load() == sent; }, 20);
    }

    bool run(double seconds) {
        for (int i = 0; i < int(seconds * ticksPerSecond); ++i) {
            clock->advance(1.0 / ticksPerSecond);
            if (reconnectAt >= 0 && clock->now() >= reconnectAt) {
                ++connections;
                reconnectAt = -1;
            }
            if (!takenIn()) return false;
            const int64_t frames = (tick + 1) * 44100 / ticksPerSecond - tick * 44100 / ticksPerSecond;
            ++tick;
            f->render(frames);
            f->tick(1.0 / ticksPerSecond);
        }
        return true;
    }

    // The connection drops; it closes `stall` seconds later, and the stream's first retry
    // comes a second after that.
    void drop(double stall = 0) {
        station->drop(stall);
        ASSERT_TRUE(run(stall));
        ASSERT_TRUE(streamOptions.loop->waitUntil(
            [&] {
                return streams.last->currentStatus().network.state == RadioStream::Status::Network::State::reconnecting;
            },
            20));
        reconnectAt = clock->now() + 1.0;
    }

    double distanceBehindLive() {
        return station->distanceBehindLive(std::llround(streams.last->currentStatus().bufferedSeconds * 44100));
    }
};

TEST_F(StudioRadioRecording, ATimeCodedStationRecordedAcrossTwoDropsLosesAndRepeatsNothing) {
    const std::string audio = timeCodedStation(16.0);
    const test::StereoSamples decoded = test::decodedStation(audio);
    // Each listener first gets the last three seconds on the air.
    record({audio, double(bytesPerSecond), 3 * bytesPerSecond, 3 * bytesPerSecond});
    ASSERT_TRUE(run(3.0));
    drop();
    ASSERT_TRUE(run(4.0));
    drop();
    ASSERT_TRUE(run(4.0));
    (*f)->transport(TransportCommand::stop);
    f->tick();
    ASSERT_EQ(station->sent().size(), 3u);
    EXPECT_EQ((*f)->tuner().reception(), TunerEngine::Reception::tuned());

    // Read back every hundredth of a second of the tape: each follows the one before.
    const int64_t recorded = (*f)->cassetteSlot().media()->used(TapeSide::a);
    ASSERT_GT(recorded, 10 * 44100);
    const auto times =
        timeOfBlocks((*f)->cassetteSlot().media()->storage(TapeSide::a).frames(), recorded, decoded, 441);
    ASSERT_FALSE(times.empty());
    EXPECT_GE(times.front(), 0);
    for (std::size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], 0) << "the tape at " << double(i) / 100 << " s is none of the station's audio";
        EXPECT_NEAR(double(times[i] - times[i - 1]), 441, 441) << "the tape at " << double(i) / 100 << " s jumps by "
                                                               << double(times[i] - times[i - 1] - 441) / 44.1 << " ms";
    }
}

TEST_F(StudioRadioRecording, ALoopedSweepRecordedAcrossTwoDropsKeepsItsDistanceBehindLive) {
    // A two-second sweep at 48 kHz: every period matches the burst as well as the true one.
    test::TemporaryDirectory scratch;
    test::generateSignal(scratch / "sweep.mp3",
                         {"0.5*sin(2*PI*(150*mod(n\\,96000)/48000+900*pow(mod(n\\,96000)/48000\\,2)))",
                          "0.4*sin(2*PI*(600*mod(n\\,96000)/48000+400*pow(mod(n\\,96000)/48000\\,2)))"},
                         24.0, 48000, bareMp3());
    const std::string audio = test::readBytes(scratch / "sweep.mp3");
    // 64 KiB again to each listener, a codec frame at a time, up to 30 ms late.
    record({.audio = audio,
            .burst = 65536,
            .onAirAtStart = 65536,
            .frameEnds = test::codecFrameEnds(audio),
            .frameSeconds = 1152.0 / 48000,
            .jitter = 0.03});
    ASSERT_TRUE(run(3.0));
    std::vector<double> distances = {distanceBehindLive()};
    // Down for 1.2 s and for 2 s, the stream's own second of waiting included.
    for (const double stall : {0.1875, 1.0}) {
        drop(stall);
        ASSERT_TRUE(run(3.0));
        distances.push_back(distanceBehindLive());
    }
    (*f)->transport(TransportCommand::stop);
    f->tick();
    ASSERT_EQ(station->sent().size(), 3u);
    EXPECT_EQ((*f)->tuner().reception(), TunerEngine::Reception::tuned());
    EXPECT_EQ(streams.last->currentStatus().dropouts, 0);
    EXPECT_GT((*f)->cassetteSlot().media()->used(TapeSide::a), 10 * 44100);
    for (std::size_t join = 1; join < distances.size(); ++join)
        EXPECT_NEAR(distances[join], distances[0], 0.02) << "after drop " << join;
}

TEST_F(StudioRadioRecording, A48kHzAacStationRecordedAcrossAHeldReconnectionIsOneStretchOfTheStation) {
    // Eight-second phrases of 32 notes at 48 kHz: the stream resamples each connection from
    // another phase, and the phrase's earlier play matches the burst as well as the true one.
    test::TemporaryDirectory scratch;
    test::generateSignal(scratch / "phrases.aac",
                         {"0.4*exp(-6*mod(n\\,12000)/48000)*sin(2*PI*220*pow(2\\,mod(7*floor(mod(n\\,384000)/"
                          "12000)\\,24)/12)*mod(n\\,12000)/48000)",
                          "0.3*exp(-3*mod(n\\,12000)/48000)*sin(2*PI*110*pow(2\\,mod(5*floor(mod(n\\,384000)/"
                          "12000)\\,17)/12)*mod(n\\,12000)/48000)"},
                         24.0, 48000, test::RadioCodec::aacAdts(128));
    const std::string audio = test::readBytes(scratch / "phrases.aac");
    // 64 KiB again to each listener, a codec frame at a time, up to 30 ms late.
    record({.audio = audio,
            .burst = 65536,
            .onAirAtStart = 65536,
            .frameEnds = test::codecFrameEnds(audio),
            .frameSeconds = 1024.0 / 48000,
            .jitter = 0.03,
            .mimeType = "audio/aac"});
    ASSERT_TRUE(run(3.0));
    // Silent for 0.3 s before it closes; the server holds the next connection 2 s: 3.3 s
    // from the last byte to the next.
    station->holdNext(2.0);
    drop(0.3125);
    ASSERT_TRUE(run(5.0));
    (*f)->transport(TransportCommand::stop);
    f->tick();
    ASSERT_EQ(station->sent().size(), 2u);
    EXPECT_EQ(streams.last->currentStatus().dropouts, 0);

    // Every twentieth of a second of the tape follows the one before in the station's audio.
    const int64_t recorded = (*f)->cassetteSlot().media()->used(TapeSide::a);
    ASSERT_GT(recorded, 7 * 44100);
    const int16_t* frames = (*f)->cassetteSlot().media()->storage(TapeSide::a).frames();
    std::vector<float> tape(std::size_t(recorded), 0.0f);
    for (std::size_t i = 0; i < tape.size(); ++i)
        tape[i] = (float(frames[2 * i]) + float(frames[2 * i + 1])) / 65534.0f;
    const test::StereoSamples decoded = test::decodedStation(audio, RadioStreamDecoder::Hint::adts);
    std::vector<float> source(decoded.frames());
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = 0.5f * (decoded.left[i] + decoded.right[i]);
    constexpr std::size_t block = 2205;
    const int64_t start = placeInSource(tape, source, 4 * block);
    ASSERT_LE(start + int64_t(tape.size()), int64_t(source.size()));
    for (std::size_t at = 0; at + block <= tape.size(); at += block) {
        const std::span<const float> piece = std::span<const float>(tape).subspan(at, block);
        const double r = correlation(piece, std::span<const float>(source).subspan(std::size_t(start) + at, block));
        EXPECT_GT(r, 0.95) << "the tape at " << double(at) / 44100 << " s is not where the station's audio goes on";
    }
}

}  // namespace
}  // namespace norvo
