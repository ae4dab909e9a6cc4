#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Support/LoopbackHttpServer.hpp"
#include "Support/ManualLoopClock.hpp"

namespace norvo::test {

// A live station on the loopback server, as servers run one, on a hand-moved clock: its
// stream goes on the air at `bytesPerSecond` as the clock moves, or a codec frame at a time
// as an encoder sends it, or in the source's own blocks; each new listener first gets the
// last `burst` bytes on the air (from the start of the block that holds the first of them,
// as a server cuts its queue), then the stream as it goes on. drop() ends the connection
// in use, as a network would; holdNext() holds the next one back, as a busy server does.
//
//   LiveStation station(server, "/live", clock, {bytes, 16000, 32000, 32000});
//   clock->advance(4); station.waitUntilSent(); station.drop();
class LiveStation {
public:
    struct Options {
        std::string audio;  // the whole stream
        double bytesPerSecond = 16000;
        std::size_t burst = 0;         // bytes re-sent to a new listener
        std::size_t onAirAtStart = 0;  // bytes on the air when the clock reads 0
        // When given, the ends of the stream's codec frames, each `frameSeconds` long: a frame
        // goes on the air once its audio has passed, whatever its size.
        std::vector<std::size_t> frameEnds = {};
        double frameSeconds = 0;
        // Each piece reaches the listener up to this many seconds late (the same for every
        // run), as over a network.
        double jitter = 0;
        std::string mimeType = "audio/mpeg";
        // The source hands the server its stream in blocks of this many bytes (0: as it goes);
        // a block goes on the air whole, and a burst begins at a block's start.
        std::size_t blockBytes = 0;
        // The station's seconds per second of the clock: below 1, its clock runs slower.
        double clockRate = 1;
        // Every this many seconds of the clock (0: never), the source hands on its next codec
        // frame that much sooner than it goes on the air, as encoders now and then do.
        double earlyFrameEvery = 0;
        // The link carries at most this many times the stream's bytes per second (0: as fast
        // as the station sends), so a burst takes its time to arrive.
        double linkRate = 0;
        // A far server: the link carries bytes a round trip at a time, from a first window
        // that doubles each round trip until the link is full (TCP's slow start).
        double roundTrip = 0;
        std::size_t firstWindow = 14600;
    };

    LiveStation(LoopbackHttpServer& server, const std::string& path, std::shared_ptr<ManualLoopClock> clock,
                Options options);
    ~LiveStation();
    LiveStation(const LiveStation&) = delete;
    LiveStation& operator=(const LiveStation&) = delete;

    // Bytes on the air now.
    std::size_t onAir() const;
    // Ends the connection in use once it has sent what has reached the listener by now:
    // nothing more arrives, and the connection closes `stallSeconds` later on the clock.
    void drop(double stallSeconds = 0);
    // The next connection's audio begins `seconds` after it connects, and its burst is cut
    // then.
    void holdNext(double seconds);
    // The clock's time when the last connection's first bytes reached the listener.
    double lastConnectedAt() const;
    // Ends every connection; before the server stops.
    void close();
    // Waits (bounded, in real time) until `count` connections have begun and every open one
    // has sent what is on the air.
    bool waitUntilSent(std::size_t count, double seconds = 20);
    // [first, end) of the bytes each connection sent, in order.
    std::vector<std::pair<std::size_t, std::size_t>> sent() const;
    // How far behind live a listener is who has taken in everything sent and holds
    // `unheard` frames of it: the clock less the position of the next frame heard, in
    // seconds (the same for every listener, from one constant on).
    double distanceBehindLive(int64_t unheard);
    // The station's time, on its own clock.
    double stationTime() const;
    // How many bytes the link carries in `elapsed` seconds of a connection; none: all it is sent.
    std::optional<double> carriedBy(double elapsed) const;
    double streamBytesPerSecond() const;

private:
    struct Connection {
        std::size_t from = 0;
        std::size_t to = 0;
        double connectedAt = 0;
        std::size_t burstEnd = 0;
        std::optional<std::size_t> dropAt = std::nullopt;
        double endAt = 0;
        bool ended = false;
    };

    // The server's threads reach the station only through this, so that none reaches it
    // once it is closed: a listener may reconnect, or ask for its next piece, as it goes.
    struct Calls {
        std::mutex mutex;
        std::condition_variable done;
        int running = 0;
        bool closed = false;
    };
    // `call()` unless the station is closed (then `closing`); close() waits for those under way.
    template <class Result, class Call>
    static Result admitted(Calls& calls, Result closing, Call call);

    LoopbackHttpServer::Script connect();
    std::string piece(std::size_t connection);
    std::size_t onAirLocked(double at) const;
    // What has reached the listener of `connection` by now.
    std::size_t arrivedLocked(const Connection& connection) const;

    struct Reference;
    const Options options_;
    std::unique_ptr<Reference> reference_;
    const std::shared_ptr<ManualLoopClock> clock_;
    uint64_t listener_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Connection> connections_;
    bool closed_ = false;
    double hold_ = 0;
    const std::shared_ptr<Calls> calls_ = std::make_shared<Calls>();
};

}  // namespace norvo::test
