#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AudioEngine/RadioSignal.hpp"
#include "AudioEngine/StereoRing.hpp"
#include "AudioEngine/UnfairLock.hpp"
#include "Platform/HttpLoop.hpp"
#include "Radio/BurstMatch.hpp"
#include "Radio/IcyDemuxer.hpp"
#include "Radio/JoinMatch.hpp"
#include "Radio/RadioStreamDecoder.hpp"

namespace norvo {

// Receives one station over HTTP or HTTPS and turns it into float stereo frames that the
// audio core pulls through RadioSignal. Connection, playlists, in-band titles, decoding
// and reconnection run on the stream's loop thread; the tuner polls currentStatus() and
// the render thread pulls render(). A stopped stream is never started again.
// After a reconnection the server's burst of recent audio is joined to what was already
// received, so nothing is heard twice and the delay behind live does not grow.
//
// Release a stream on a thread other than its loop's.
class RadioStream final : public RadioSignal, private RadioStreamDecoder::Client {
public:
    struct Status {
        struct Network {
            enum class State { connecting, streaming, reconnecting, failed };
            State state = State::connecting;
            int attempt = 0;      // reconnecting: the 1-based attempt waited for
            std::string message;  // failed: the sentence shown to the user

            static Network connecting() { return {}; }
            static Network streaming() { return {State::streaming, 0, {}}; }
            static Network reconnecting(int attempt) { return {State::reconnecting, attempt, {}}; }
            static Network failed(std::string message) { return {State::failed, 0, std::move(message)}; }
            bool operator==(const Network&) const = default;
        };

        Network network;
        bool playing = false;
        double bufferedSeconds = 0;
        double prebufferSeconds = 0;
        std::optional<std::string> format;  // "MP3", "MP2", "AAC" or "AAC+"
        int channels = 0;                   // the stream's own count
        double sampleRate = 0;              // the stream's own rate
        std::optional<int> bitrate;
        std::optional<std::string> stationName;
        std::optional<std::string> title;
        int titleSerial = 0;  // grows by one each time `title` changes
        bool titleKnown = false;
        int dropouts = 0;

        bool operator==(const Status&) const = default;
    };

    // Where one connection's audio bytes go; the default wraps RadioStreamDecoder. It
    // reports back through the RadioStreamDecoder::Client it was made with.
    class Decoder {
    public:
        virtual ~Decoder() = default;
        virtual void feed(const uint8_t* bytes, std::size_t count) = 0;
    };
    using DecoderFactory =
        std::function<std::unique_ptr<Decoder>(RadioStreamDecoder::Hint, RadioStreamDecoder::Client&)>;

    struct Options {
        std::shared_ptr<HttpLoop> loop;  // none: a loop of the stream's own
        double headerTimeout = 15.0;     // connect and receive the headers
        double idleTimeout = 60.0;       // longest silence inside the body
        DecoderFactory decoderFactory;   // none: RadioStreamDecoder
        // Runs a join's comparisons, which hand their result back to the loop; none: on a
        // thread of their own. A test on a hand-moved clock runs them at once.
        std::function<void(std::function<void()>)> comparisons;
    };

    static constexpr std::size_t ringCapacity = 1048576;  // frames, about 23.8 s
    static constexpr int outputCapacity = RadioStreamDecoder::maximumBatch;
    static constexpr int64_t lockSettleFrames = 176400;  // 4 s
    static constexpr double frameRate = 44100;
    static constexpr std::size_t playlistLimit = 262144;  // bytes
    static constexpr const char* queueLabel = "org.norvo.studio.radio";

    RadioStream(std::string url, std::string userAgent, double prebufferSeconds);
    RadioStream(std::string url, std::string userAgent, double prebufferSeconds, Options options);
    ~RadioStream() override;
    RadioStream(const RadioStream&) = delete;
    RadioStream& operator=(const RadioStream&) = delete;

    const std::string& url() const { return url_; }
    double prebufferSeconds() const { return prebufferSeconds_; }

    // Both return at once; the network work runs on the loop.
    void start();
    void stop();
    // Releases the titles whose audio has been heard and returns a copy of the status.
    Status currentStatus();
    // Render thread: takes only the stream's lock, never allocates.
    int render(int frames, float* left, float* right) override;

private:
    friend struct RadioStreamTesting;
    struct PendingTitle {
        int64_t frame;
        std::optional<std::string> title;
    };
    // How the audio of a connection that follows a played one joins what was received.
    enum class Join { direct, probing, skipping };

    // A reconnected server first sends a burst of recent audio, most of which was received
    // already. The first frames of the new connection are held back and matched against
    // the last seconds received; what was received already is skipped.
    //
    // Where the match cannot tell (a tone, a loop, silence), the timing does: the listener
    // stays as far behind live as before. The live line is the newest frame received less
    // the loop clock in frames, at its highest (the frames that came soonest); the held
    // frames end where live is when they arrive, so their first one lies at the live line
    // less the held frames' own line.
    // Audio received, as a mono mix: at least this much, and twice the longest burst any
    // connection of the station brought, so that a burst reaches back no further than it.
    static constexpr int64_t historyLeastFrames = 16 * 44100;
    static constexpr std::size_t probeCapacity = BurstMatch::probeFrames;
    // A burst comes at the link's speed, however slow: it is still arriving while the
    // connection keeps coming further ahead of real time, by more than two codec frames (one
    // may come early, as sources hand them on, one late). It has come whole once it has come
    // as far ahead as the station's bursts before, or once it has not come further for this
    // long and for half as long again as the longest pause before it came further (a far
    // server sends in round trips).
    static constexpr double burstSettleSeconds = 0.25;
    // Frames that come after the burst came as the server had them: the longer they are
    // held, the more of them came soonest, and the better they place the burst (the held
    // line's shortfall is the timing's error). Held this much longer than the settle unless
    // the buffer runs low; a server that sends nothing more is joined burstLastSeconds after.
    static constexpr double burstDatingSeconds = 0.6;
    static constexpr double lowBufferSeconds = 0.2;
    static constexpr double burstLastSeconds = 0.9;
    // The live line sinks this much per second between its highest frames, to follow a
    // station whose clock runs slower than ours.
    static constexpr double liveLineSinking = 0.001;
    // The live line is the highest moment that three others confirm within this share of a
    // codec frame; those above it came sooner than the rest. A network only delays frames,
    // but a source now and then hands on a codec frame sooner than all the rest: taken as
    // the line, it would place every burst that much late, and as it sinks with age it
    // passes through where the line is.
    static constexpr double confirmingShare = 0.25;
    // Too few frames come while a burst is held for them to confirm one another: the
    // highest held moment dates it, unless it stands more than this share of a codec frame
    // above all the others, as a frame handed on early does (or two such frames, above
    // three that agree). The first moment, a burst that
    // came at once, is on time unless it ended in such a frame; the frames after it come
    // late by the network's unevenness, so it must stand twice as far above them.
    static constexpr double earlyHeldShare = 0.375;
    // A line from the moments frames came: each moment's line is that of the last frames
    // that came with it, kept as the line plus its sinking since the clock's start, so the
    // order holds as the lines sink.
    struct MomentLine {
        static constexpr std::size_t kept = 16;
        std::array<double, kept> tops{};  // highest first
        std::size_t count = 0;
        std::optional<std::pair<double, double>> moment;  // (loop clock, sunk line) being received
        std::optional<std::pair<double, double>> first;   // the first moment

        void take(double line, double now, double sinking);
        // The highest moment that three others confirm within `spread`.
        double confirmed(double now, double sinking, double spread) const;
        // The highest moment, unless it stands more than `margin` above all the others (the
        // first moment, twice that), or it and the next do and three below them agree within it.
        double highestButEarly(double margin) const;
        void shift(double frames);
        // The kept moments and the one being received, highest first; how many.
        std::size_t all(std::array<double, kept>& highest) const;
    };
    // Equal matches closer together than this leave the choice to the timing alone, which
    // is not that precise: the distance it kept is kept for the joins that follow within
    // keptLineSeconds of each other, so that its errors do not add up.
    static constexpr double timingDecidesBelow = 0.1;
    static constexpr double keptLineSeconds = 30;
    // Look-alikes at least this far apart are told apart by the timing: a match among them
    // places the join by the audio, not by the timing.
    static constexpr double audioPlacesAbove = 0.02;
    // A connection no further ahead of the live stream than the network's own unevenness
    // sent no burst.
    static constexpr double burstAtLeastSeconds = 0.1;
    static constexpr int fadeFrames = 441;

    // RadioStreamDecoder::Client, called from inside Decoder::feed on the loop.
    void decoderReady(const RadioStreamDecoder::Format& format) override;
    void decodedFrames(const float* left, const float* right, int frames) override;
    void decoderFailed(const std::string& message) override;

    // Loop thread.
    void openSession();
    void closeSession();
    void connect(const std::string& target);
    bool isCurrent(uint64_t serial);
    bool handleResponse(const HttpResponse& response);
    bool handleData(const uint8_t* bytes, std::size_t count);
    void handleCompletion(const std::optional<HttpError>& error);
    void handleMetadataBlock(const uint8_t* block, std::size_t count);
    void feedDecoder(const uint8_t* bytes, std::size_t count);
    void teardownDecoder();
    void fail(const std::string& message);
    void retryOrFail(const std::string& message);
    void deliver(const float* left, const float* right, std::size_t frames);
    void push(const float* left, const float* right, std::size_t frames);
    // Ends the hold of a reconnection's first frames: skips what was received already, or
    // joins as it is, shortening the backlog. The comparisons it needs run off the loop,
    // unless `now`: the connection is ending and the frames go with the decision.
    enum class Wait { matches, now };
    void decideJoin(Wait wait = Wait::matches);
    // The rest of the decision once the comparisons are made.
    void decideMatched(std::optional<int64_t> predicted, double now, const JoinMatch::Result& matches);
    // What the comparisons read, for a reach and a timing.
    std::shared_ptr<JoinMatch::Inputs> joinInputs(int64_t reach, std::optional<int64_t> predicted) const;
    // Runs the comparisons on a worker; `done` runs on the loop if the frames are still held.
    void compareOffLoop(std::shared_ptr<JoinMatch::Inputs> inputs, std::function<void(const JoinMatch::Result&)> done);
    enum class Unmatched { trimBacklog, append };
    // `origin`: the stream position of the first held frame; none: unmatched.
    // `resume`: where the join resumes the burst, if later than the origin; the listener is
    // kept as far behind live with silence.
    void joinAt(std::optional<int64_t> origin, Unmatched unmatched = Unmatched::trimBacklog,
                std::optional<int64_t> resume = std::nullopt);
    // No further back than the burst may reach, nor than the timing allows for.
    int64_t timedReach() const;
    // Where the first held frame lies if the listener stays as far behind live as before.
    std::optional<int64_t> predictedOrigin() const;
    // Whether the held frames begin, past what a decoder may garble, in silence.
    bool silentProbe() const;
    void followLiveLine(double now);
    // How far below the live line the highest moment of a `window` of the connection's
    // frames typically lies: a held window's line lies as far below, on this network.
    double windowLateness(double window) const;
    // Wakes the join at `at` on the loop clock, when no frames come to wake it.
    void armSettleTimer(double at);
    // Joins once the burst has come and been dated, or the buffer runs low; while the burst
    // still arrives, only where the audio alone places it.
    void considerJoin(double now, bool woken);
    // When the burst's settle is counted from, and how long it is.
    std::pair<double, double> settling() const;
    // Keeps twice the longest burst measured, as far back as the history may need to reach.
    void growHistory();
    // Whether the connection sent enough ahead of the live stream to have re-sent anything.
    bool sentBurst() const;
    void finishJoin();
    // How far back from the last frame received the burst's first frame may lie.
    int64_t joinReach() const;
    // Plays silence for the gap up to `origin`, the place of the first frame after it, as
    // much as keeps the listener's distance behind live; returns how many frames.
    int64_t fillGap(int64_t origin);
    void trimBacklog();
    void setNetwork(Status::Network network);
    // Titles, loop thread; the queue itself is under statusLock_.
    void queueTitle(std::optional<std::string> title, int64_t stamp);
    void appendTitle(int64_t stamp, std::optional<std::string> title);
    // Under statusLock_.
    void releaseTitles(int64_t heard);
    // Under lock_: what currentStatus() reads without taking it.
    void publishRing();

    const std::string url_;
    const std::string userAgent_;
    const double prebufferSeconds_;
    const int64_t prebufferFrames_;
    const Options options_;
    std::shared_ptr<HttpLoop> loop_;
    bool ownsLoop_ = false;

    // The render thread's lock: the ring and the playing flag. Held only for block copies
    // of float frames and counter updates, never while allocating or copying text.
    UnfairLock lock_;
    std::unique_ptr<float[]> leftBuffer_;
    std::unique_ptr<float[]> rightBuffer_;
    StereoRing ring_;
    bool playing_ = false;
    int64_t consumedFrames_ = 0;
    int64_t silenceSinceHeard_ = 0;  // frames the render was asked for since it last had audio
    int64_t gapSilenceAhead_ = 0;    // silence for a gap at the ring's start, while not playing
    int64_t gapSilencePassed_ = 0;   // of it, what played out while not playing, over the stream's life
    // Copies the tuner reads without the render lock.
    std::atomic<int64_t> heardFrames_{0};
    std::atomic<int64_t> bufferedFrames_{0};
    std::atomic<bool> playingNow_{false};
    std::atomic<int> dropouts_{0};
    std::atomic<bool> cancelled_{false};

    // The status record and the title queue; the render never takes this lock.
    std::mutex statusLock_;
    Status status_;
    std::deque<PendingTitle> pendingTitles_;

    // Loop thread only.
    int64_t pushedFrames_ = 0;
    // Outer empty: nothing queued yet; inner empty: a missing title was queued.
    std::optional<std::optional<std::string>> lastQueuedTitle_;
    int64_t connectionStartFrame_ = 0;
    bool awaitingFirstTitle_ = false;
    std::shared_ptr<int> alive_;  // scheduled work holds it weakly
    bool sessionOpen_ = false;
    HttpLoop::TransferID task_ = 0;
    uint64_t connectionSerial_ = 0;
    IcyDemuxer demuxer_;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<Decoder> retiredDecoder_;  // torn down from inside its own feed()
    bool feedingDecoder_ = false;
    std::optional<std::string> playlist_;
    std::string playlistBaseURL_;
    int playlistHops_ = 0;
    bool everStreamed_ = false;
    int attempt_ = 0;
    int64_t framesThisConnection_ = 0;
    CancelHandle retryTimer_;

    // The join of a reconnection (loop thread only).
    std::vector<float> history_;  // indexed by stream position modulo its size
    int64_t longestBurst_ = 0;    // frames any connection came ahead of real time
    Join join_ = Join::direct;
    std::vector<float> heldLeft_;  // the connection's frames held while probing
    std::vector<float> heldRight_;
    double heldSince_ = 0;     // loop clock when the held frames began to arrive
    int64_t burstFrames_ = 0;  // most frames held ahead of the live stream since the first held one
    double riseMark_ = 0;      // burstFrames_ when it last rose by more than riseTolerance_
    double riseTolerance_ = 0;
    int64_t burstBefore_ = 0;               // longestBurst_ when the connection began
    int64_t connectionBurst_ = 0;           // how far ahead of real time this connection came
    double connectionBurstAt_ = 0;          // loop clock when that last grew
    std::optional<int64_t> shortestBurst_;  // of the connections whose burst came whole
    std::optional<double> wholeAt_;         // loop clock when the burst came as far ahead as that
    double lastRise_ = 0;                   // loop clock then
    double lastBatchAt_ = 0;                // loop clock at the last held frames
    double longestPause_ = 0;               // between held frames, before those that came further ahead
    double pauseBefore_ = 0;                // before the frames of this moment
    double nextEarlyMatch_ = 0;             // while the burst arrives, the audio is compared no sooner
    double heldLine_ = 0;                   // the held frames' live line, from the first of them
    MomentLine heldMoments_;
    double liveLine_ = 0;  // frames, on the stream's positions
    bool liveLineKnown_ = false;
    MomentLine liveMoments_;
    // The connection's moments since it was joined, (loop clock, line); the latest last.
    std::deque<std::pair<double, double>> recentMoments_;
    static constexpr std::size_t recentMomentsKept = 2048;
    static constexpr double recentMomentsSeconds = 5;
    static constexpr double lateWindowsShare = 0.75;
    double heldLateness_ = 0;  // frames, measured when the join is decided
    double codecFrame_ = 0;    // the most frames one decoded codec frame gave
    // The live line a join chosen by the timing alone kept to; the joins after it keep to
    // it too.
    std::optional<double> keptLine_;
    double keptLateness_ = 0;     // heldLateness_ when the line was kept
    double keptAt_ = 0;           // loop clock when it was last kept to or moved
    bool placedByAudio_ = false;  // the last join was placed by a match, not by the timing
    CancelHandle settleTimer_;
    bool comparing_ = false;      // comparisons for the join are under way off the loop
    double longestJoinStep_ = 0;  // seconds: the longest a step of a join kept the loop
    int64_t skipRemaining_ = 0;
    int64_t gapFilledFrames_ = 0;  // silence played for what was never sent, over the stream's life
    int64_t decodedThisConnection_ = 0;
    int64_t joinOrigin_ = 0;                      // stream position of the connection's first decoded frame
    int64_t seam_ = 0;                            // where the last joined connection's audio begins
    double lastAudioAt_ = 0;                      // loop clock when frames were last decoded
    double outageFrom_ = 0;                       // lastAudioAt_ when the connection being joined began
    std::optional<double> connectionAudioSince_;  // loop clock at the connection's first audio bytes
    std::vector<std::pair<int64_t, std::optional<std::string>>> heldTitles_;  // (decoded frame, title)
};

}  // namespace norvo
