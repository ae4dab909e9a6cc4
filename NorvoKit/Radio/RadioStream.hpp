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
#include "Radio/IcyDemuxer.hpp"
#include "Radio/JoinMatch.hpp"
#include "Radio/RadioJoin.hpp"
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
class RadioStream final : public RadioSignal, private RadioStreamDecoder::Client, private RadioJoin::Playback {
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
    void push(const float* left, const float* right, std::size_t frames);
    // Ends a connection's join: frames still held are joined at once.
    void finishJoin();
    // RadioJoin::Playback, on the loop.
    void play(const float* left, const float* right, std::size_t frames) override;
    int64_t playGap(int64_t frames) override;
    void trimBacklog() override;
    int64_t buffered() override;
    int64_t silentSince() override;
    void joined(int64_t origin) override;
    void wake(std::optional<double> at) override;
    // Runs a join's comparisons off the loop; hands their result back on it.
    void compareOffLoop(std::shared_ptr<const JoinMatch::Inputs> inputs, RadioJoin::Done done);
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
    RadioJoin join_;
    CancelHandle settleTimer_;
    int64_t gapFilledFrames_ = 0;  // silence played for what was never sent, over the stream's life
    std::vector<std::pair<int64_t, std::optional<std::string>>> heldTitles_;  // (decoded frame, title)
};

}  // namespace norvo
