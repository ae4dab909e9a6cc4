#include "Radio/RadioStream.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "Radio/IcyMetadata.hpp"
#include "Radio/StationText.hpp"
#include "Radio/StreamPlaylist.hpp"
#include "Radio/StreamURL.hpp"

namespace norvo {

namespace {

class StreamDecoder final : public RadioStream::Decoder {
public:
    StreamDecoder(RadioStreamDecoder::Hint hint, RadioStreamDecoder::Client& client) : decoder_(hint, client) {}
    void feed(const uint8_t* bytes, std::size_t count) override { decoder_.feed(bytes, count); }

private:
    RadioStreamDecoder decoder_;
};

// A whole decimal number with an optional sign and nothing else around it.
std::optional<int64_t> wholeNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int64_t> firstBitrate(std::string_view header) {
    while (!header.empty()) {
        const auto comma = header.find(',');
        const std::string_view piece = header.substr(0, comma);
        if (!piece.empty()) return wholeNumber(piece);
        if (comma == std::string_view::npos) break;
        header.remove_prefix(comma + 1);
    }
    return std::nullopt;
}

std::string failureText(HttpError::Kind kind) {
    switch (kind) {
    case HttpError::Kind::notConnectedToInternet:
    case HttpError::Kind::networkConnectionLost: return "No internet connection";
    case HttpError::Kind::cannotFindHost: return "Station not found";
    case HttpError::Kind::cannotConnectToHost: return "Station off the air";
    case HttpError::Kind::timedOut: return "The station stopped responding";
    case HttpError::Kind::secureConnectionFailed: return "Secure connection failed";
    case HttpError::Kind::bodyTooLarge:
    case HttpError::Kind::other: break;
    }
    return "Connection lost";
}

}  // namespace

RadioStream::RadioStream(std::string url, std::string userAgent, double prebufferSeconds)
    : RadioStream(std::move(url), std::move(userAgent), prebufferSeconds, Options{}) {}

RadioStream::RadioStream(std::string url, std::string userAgent, double prebufferSeconds, Options options)
    : url_(std::move(url)),
      userAgent_(std::move(userAgent)),
      prebufferSeconds_(std::isfinite(prebufferSeconds) ? std::max(0.0, prebufferSeconds) : 0.0),
      prebufferFrames_(static_cast<int64_t>(prebufferSeconds_ * frameRate)),
      options_(std::move(options)),
      loop_(options_.loop),
      leftBuffer_(new float[ringCapacity]()),
      rightBuffer_(new float[ringCapacity]()),
      alive_(std::make_shared<int>(0)),
      join_(*this, [this](std::shared_ptr<const JoinMatch::Inputs> inputs, RadioJoin::Done done) {
          compareOffLoop(std::move(inputs), std::move(done));
      }) {
    if (!loop_) {
        loop_ = std::make_shared<HttpLoop>(queueLabel);
        ownsLoop_ = true;
    }
    ring_.capacity = ringCapacity;
    ring_.left = leftBuffer_.get();
    ring_.right = rightBuffer_.get();
    status_.prebufferSeconds = prebufferSeconds_;
}

RadioStream::~RadioStream() {
    cancelled_ = true;
    {
        std::lock_guard lock(lock_);
        playing_ = false;
        publishRing();
    }
    // After this, nothing of ours is left on the loop: the transfer is cancelled and
    // every queued task or timer finds the token gone.
    loop_->dispatchSync([this] {
        closeSession();
        alive_.reset();
    });
    if (ownsLoop_ && loop_->isLoopThread()) {
        // A loop cannot join itself; let another thread end it once this callback returns.
        std::thread([loop = std::move(loop_)] {}).detach();
    }
}

void RadioStream::start() {
    loop_->dispatch([this, token = std::weak_ptr<int>(alive_)] {
        if (token.lock()) openSession();
    });
}

void RadioStream::stop() {
    cancelled_ = true;
    {
        std::lock_guard lock(lock_);
        playing_ = false;
        publishRing();
    }
    loop_->dispatch([this, token = std::weak_ptr<int>(alive_)] {
        if (token.lock()) closeSession();
    });
}

RadioStream::Status RadioStream::currentStatus() {
    // Never the render's lock: the strings are copied under a lock of their own.
    std::lock_guard lock(statusLock_);
    releaseTitles(heardFrames_.load(std::memory_order_acquire));
    Status copy = status_;
    copy.playing = playingNow_.load(std::memory_order_relaxed);
    copy.bufferedSeconds = static_cast<double>(bufferedFrames_.load(std::memory_order_relaxed)) / frameRate;
    copy.dropouts = dropouts_.load(std::memory_order_relaxed);
    return copy;
}

int RadioStream::render(int frames, float* left, float* right) {
    if (frames <= 0) return 0;
    // Real-time path: one short critical section of block copies, no allocation.
    std::lock_guard lock(lock_);
    // Silence that stands for a gap plays out while the prebuffer fills again, as the
    // dropout's own, so that waiting does not move the listener further behind live. Once
    // it has, the audio after it is due: it plays if there is half a prebuffer of it.
    if (!playing_ && !cancelled_ && gapSilenceAhead_ > 0 && gapSilenceAhead_ <= frames &&
        static_cast<int64_t>(ring_.count) - gapSilenceAhead_ >= prebufferFrames_ / 2) {
        playing_ = true;
        gapSilenceAhead_ = 0;
    }
    if (!playing_) {
        const auto passed = std::min<int64_t>(frames, gapSilenceAhead_);
        if (passed > 0) {
            ring_.discard(static_cast<std::size_t>(passed));
            gapSilenceAhead_ -= passed;
            gapSilencePassed_ += passed;
            consumedFrames_ += passed;
            publishRing();
        }
        silenceSinceHeard_ += frames - passed;
        return 0;
    }
    const std::size_t delivered = ring_.read(left, right, static_cast<std::size_t>(frames));
    consumedFrames_ += static_cast<int64_t>(delivered);
    silenceSinceHeard_ = frames - static_cast<int64_t>(delivered);
    if (delivered < static_cast<std::size_t>(frames)) {
        // Ran dry: play again only after a full prebuffer, or once the silence for a gap
        // has played out.
        playing_ = false;
        dropouts_.fetch_add(1, std::memory_order_relaxed);
    }
    publishRing();
    return static_cast<int>(delivered);
}

void RadioStream::publishRing() {
    heardFrames_.store(consumedFrames_, std::memory_order_release);
    bufferedFrames_.store(static_cast<int64_t>(ring_.count), std::memory_order_relaxed);
    playingNow_.store(playing_, std::memory_order_relaxed);
}

void RadioStream::setNetwork(Status::Network network) {
    std::lock_guard lock(statusLock_);
    status_.network = std::move(network);
}

// --- session and connections (loop thread) ---

void RadioStream::openSession() {
    if (cancelled_) return;
    if (sessionOpen_) return;
    sessionOpen_ = true;
    connect(url_);
}

void RadioStream::closeSession() {
    sessionOpen_ = false;
    if (task_ != 0) loop_->cancel(task_);
    task_ = 0;
    retryTimer_.cancel();
    playlist_.reset();
    teardownDecoder();
    join_.abandon();
    heldTitles_.clear();
}

void RadioStream::connect(const std::string& target) {
    if (!sessionOpen_) return;
    teardownDecoder();
    finishJoin();
    demuxer_ = IcyDemuxer(0);
    playlist_.reset();
    framesThisConnection_ = 0;
    connectionStartFrame_ = pushedFrames_;
    awaitingFirstTitle_ = true;
    // After a connection that played, the server's burst is joined to what was received
    // before any of it is heard.
    join_.connectionBegan(everStreamed_ && pushedFrames_ > 0);
    if (task_ != 0) loop_->cancel(task_);

    HttpRequest request;
    request.url = target;
    request.headers = {{"Icy-MetaData", "1"}, {"User-Agent", userAgent_}, {"Accept", "*/*"}};
    request.headerTimeout = options_.headerTimeout;
    request.idleTimeout = options_.idleTimeout;
    const uint64_t serial = ++connectionSerial_;
    std::weak_ptr<int> token = alive_;
    HttpLoop::StreamHandlers handlers{
        [this, token, serial](const HttpResponse& response) {
            return token.lock() && isCurrent(serial) && handleResponse(response);
        },
        [this, token, serial](const uint8_t* bytes, std::size_t count) {
            return token.lock() && isCurrent(serial) && handleData(bytes, count);
        },
        [this, token, serial](const std::optional<HttpError>& error) {
            if (token.lock() && isCurrent(serial)) handleCompletion(error);
        },
    };
    task_ = loop_->startStream(std::move(request), std::move(handlers));
}

bool RadioStream::isCurrent(uint64_t serial) { return serial == connectionSerial_ && task_ != 0 && !cancelled_; }

bool RadioStream::handleResponse(const HttpResponse& response) {
    const std::string responseURL = response.url.empty() ? url_ : response.url;
    if (response.statusCode < 200 || response.statusCode > 299) {
        const std::string text = "The station answered HTTP " + std::to_string(response.statusCode);
        // A station that has played and answers so on a reconnection is most likely
        // restarting its encoder: the mount comes back a moment later.
        if (everStreamed_) retryOrFail(text);
        else fail(text);
        return false;
    }
    if (StreamPlaylist::isHLS(response.mimeType, responseURL)) {
        fail("HLS streams are not supported");
        return false;
    }
    if (StreamPlaylist::isPlaylist(response.mimeType, responseURL)) {
        playlist_.emplace();
        playlistBaseURL_ = responseURL;
        return true;
    }

    join_.answered(response.roundTrip);
    const int64_t interval = wholeNumber(response.header("icy-metaint").value_or("")).value_or(0);
    demuxer_ = IcyDemuxer(std::max<int64_t>(interval, 0));
    const std::string stationName(StationText::trimmingSpacesAndTabs(response.header("icy-name").value_or("")));
    const auto bitrate = firstBitrate(response.header("icy-br").value_or(""));
    {
        std::lock_guard lock(statusLock_);
        if (interval == 0) status_.titleKnown = true;  // no in-band titles will come
        if (!stationName.empty()) status_.stationName = stationName;
        if (bitrate && *bitrate > 0 && *bitrate <= INT_MAX) status_.bitrate = static_cast<int>(*bitrate);
    }

    const auto hint = RadioStreamDecoder::fileTypeHint(response.mimeType.value_or(""), StreamURL::path(responseURL));
    teardownDecoder();
    RadioStreamDecoder::Client& client = *this;
    try {
        if (options_.decoderFactory) {
            decoder_ = options_.decoderFactory(hint, client);
        } else {
            decoder_ = std::make_unique<StreamDecoder>(hint, client);
        }
    } catch (...) {
        decoder_.reset();
    }
    if (!decoder_) {
        fail("Cannot open the stream decoder");
        return false;
    }
    return true;
}

bool RadioStream::handleData(const uint8_t* bytes, std::size_t count) {
    if (playlist_) {
        playlist_->append(reinterpret_cast<const char*>(bytes), count);
        if (playlist_->size() > playlistLimit) {
            fail("Not a radio stream");
            return false;
        }
        return true;
    }
    demuxer_.feed(
        bytes, count, [this](const uint8_t* audio, std::size_t length) { feedDecoder(audio, length); },
        [this](const std::vector<uint8_t>& block) {
            if (task_ != 0) handleMetadataBlock(block.data(), block.size());
        });
    return task_ != 0;
}

void RadioStream::handleCompletion(const std::optional<HttpError>& error) {
    if (playlist_) {
        const std::string body = std::move(*playlist_);
        playlist_.reset();
        task_ = 0;
        const std::string text = StationText::utf8OrLatin1(body);
        const std::string base = playlistBaseURL_.empty() ? url_ : playlistBaseURL_;
        const auto next = playlistHops_ < 3 ? StreamPlaylist::firstStreamURL(text, base) : std::nullopt;
        if (next) {
            playlistHops_ += 1;
            connect(*next);
        } else {
            fail("The playlist holds no stream");
        }
        return;
    }
    if (!error) {
        retryOrFail("The station ended the broadcast");
    } else {
        retryOrFail(failureText(error->kind));
    }
}

void RadioStream::fail(const std::string& message) {
    if (task_ != 0) loop_->cancel(task_);
    task_ = 0;
    playlist_.reset();
    teardownDecoder();
    finishJoin();
    setNetwork(Status::Network::failed(message));
}

void RadioStream::retryOrFail(const std::string& message) {
    if (cancelled_) return;
    task_ = 0;
    teardownDecoder();
    finishJoin();
    const int limit = everStreamed_ ? 5 : 1;
    if (attempt_ >= limit) {
        setNetwork(Status::Network::failed(message));
        return;
    }
    attempt_ += 1;
    const double delay = everStreamed_ ? std::min(std::pow(2.0, attempt_ - 1), 8.0) : 1.5;
    setNetwork(Status::Network::reconnecting(attempt_));
    retryTimer_ = loop_->dispatchAfter(delay, [this, token = std::weak_ptr<int>(alive_)] {
        if (!token.lock()) return;
        if (cancelled_) return;
        connect(url_);  // always the station's own URL, not one a playlist named
    });
}

// --- decoding (loop thread) ---

void RadioStream::feedDecoder(const uint8_t* bytes, std::size_t count) {
    if (!decoder_ || count == 0) return;
    join_.audioBegan(loop_->now());
    feedingDecoder_ = true;
    decoder_->feed(bytes, count);
    feedingDecoder_ = false;
    retiredDecoder_.reset();
}

void RadioStream::teardownDecoder() {
    // A decoder that fails from inside its own feed() is closed once feed() returns.
    if (feedingDecoder_ && decoder_) {
        retiredDecoder_ = std::move(decoder_);
        return;
    }
    decoder_.reset();
}

void RadioStream::decoderReady(const RadioStreamDecoder::Format& format) {
    std::lock_guard lock(statusLock_);
    status_.format = format.label;
    status_.channels = std::max(1, format.channels);
    status_.sampleRate = format.sampleRate;
}

void RadioStream::decodedFrames(const float* left, const float* right, int frames) {
    if (frames <= 0 || task_ == 0) return;
    join_.decoded(left, right, static_cast<std::size_t>(frames), loop_->now());
}

void RadioStream::decoderFailed(const std::string& message) { fail(message); }

void RadioStream::play(const float* left, const float* right, std::size_t frames) {
    for (std::size_t offset = 0; offset < frames; offset += outputCapacity)
        push(left + offset, right + offset, std::min<std::size_t>(outputCapacity, frames - offset));
}

void RadioStream::push(const float* left, const float* right, std::size_t frames) {
    framesThisConnection_ += static_cast<int64_t>(frames);
    if (framesThisConnection_ > prebufferFrames_) {
        everStreamed_ = true;
        attempt_ = 0;
        // A connection that played ends any chain of playlists, so reconnections through
        // the station's playlist URL do not use the guard up over an evening.
        playlistHops_ = 0;
    }
    {
        std::lock_guard lock(lock_);
        const std::size_t room = ring_.space();
        if (room < frames) {
            // The render thread stalled: drop the oldest frames; they count as heard so
            // that the titles stay aligned with the audio.
            const std::size_t overflow = frames - room;
            ring_.discard(overflow);
            consumedFrames_ += static_cast<int64_t>(overflow);
        }
        ring_.write(left, right, frames);
        if (!playing_ && !cancelled_ && static_cast<int64_t>(ring_.count) >= prebufferFrames_) {
            playing_ = true;
            gapSilenceAhead_ = 0;
        }
        publishRing();
    }
    pushedFrames_ += static_cast<int64_t>(frames);
    std::lock_guard lock(statusLock_);
    if (status_.network.state != Status::Network::State::streaming) status_.network = Status::Network::streaming();
}

// --- joining a reconnection (loop thread) ---

void RadioStream::finishJoin() {
    if (cancelled_) join_.abandon();
    else join_.connectionEnded(loop_->now());
    heldTitles_.clear();
}

void RadioStream::compareOffLoop(std::shared_ptr<const JoinMatch::Inputs> inputs, RadioJoin::Done done) {
    std::weak_ptr<int> token = alive_;
    std::function<void()> compare = [this, inputs = std::move(inputs), done = std::move(done), loop = loop_,
                                     token]() mutable {
        auto matches = std::make_shared<const JoinMatch::Result>(JoinMatch::compute(*inputs));
        inputs.reset();
        loop->dispatch([this, done = std::move(done), token, matches, loop] {
            if (token.lock() && !cancelled_) done(*matches, loop->now());
        });
    };
    // A thread of its own: a join is rare, and the comparisons take far longer than a start.
    if (options_.comparisons) options_.comparisons(std::move(compare));
    else std::thread(std::move(compare)).detach();
}

void RadioStream::wake(std::optional<double> at) {
    settleTimer_.cancel();
    if (!at) return;
    std::weak_ptr<int> token = alive_;
    settleTimer_ = loop_->dispatchAfter(std::max(0.0, *at - loop_->now()), [this, token, serial = connectionSerial_] {
        if (token.lock() && isCurrent(serial)) join_.woken(loop_->now());
    });
}

int64_t RadioStream::buffered() { return bufferedFrames_.load(std::memory_order_relaxed); }

int64_t RadioStream::silentSince() {
    std::lock_guard lock(lock_);
    return silenceSinceHeard_;
}

void RadioStream::joined(int64_t origin) {
    // The connection's audio begins after the silence for a gap: so does its first title.
    connectionStartFrame_ = std::max(connectionStartFrame_, pushedFrames_);
    auto titles = std::move(heldTitles_);
    heldTitles_.clear();
    // Placed as if their audio had come directly: the first at the connection's start,
    // later ones where the audio after them lies (never into what was received before).
    for (auto& [decoded, title] : titles)
        queueTitle(std::move(title),
                   awaitingFirstTitle_ ? connectionStartFrame_ : std::max(connectionStartFrame_, origin + decoded));
}

int64_t RadioStream::playGap(int64_t gap) {
    std::size_t remaining = 0, filled = 0;
    bool ahead = false;  // the silence goes in ahead of any audio, while nothing plays
    {
        std::lock_guard lock(lock_);
        ahead = !playing_ && ring_.count == 0;
        // The silence the render played since it last played audio stands for as much of
        // the gap: with the rest, the listener stays as far behind live.
        const int64_t wanted = gap - silenceSinceHeard_;
        if (cancelled_ || wanted <= 0) return 0;
        remaining = std::min<std::size_t>(static_cast<std::size_t>(wanted), ring_.space());
    }
    // In short holds of the render's lock; the render only makes room.
    while (remaining > 0) {
        const std::size_t batch = std::min<std::size_t>(remaining, outputCapacity);
        std::lock_guard lock(lock_);
        ring_.writeSilence(batch);
        if (ahead) gapSilenceAhead_ += static_cast<int64_t>(batch);
        remaining -= batch;
        filled += batch;
        publishRing();
    }
    pushedFrames_ += static_cast<int64_t>(filled);
    gapFilledFrames_ += static_cast<int64_t>(filled);
    return static_cast<int64_t>(filled);
}

void RadioStream::trimBacklog() {
    std::lock_guard lock(lock_);
    if (static_cast<int64_t>(ring_.count) <= prebufferFrames_) return;
    const std::size_t excess = ring_.count - static_cast<std::size_t>(prebufferFrames_);
    // A short crossfade from the audio about to be heard into the audio after the cut.
    const std::size_t fade = std::min<std::size_t>(fadeFrames, ring_.count - excess);
    float oldLeft[fadeFrames], oldRight[fadeFrames];
    for (std::size_t i = 0; i < fade; ++i) {
        const std::size_t at = (ring_.readIndex + i) % ring_.capacity;
        oldLeft[i] = ring_.left[at];
        oldRight[i] = ring_.right[at];
    }
    for (std::size_t i = 0; i < fade; ++i) {
        const std::size_t at = (ring_.readIndex + excess + i) % ring_.capacity;
        const float in = (static_cast<float>(i) + 0.5f) / static_cast<float>(fade);
        ring_.left[at] = oldLeft[i] * (1 - in) + ring_.left[at] * in;
        ring_.right[at] = oldRight[i] * (1 - in) + ring_.right[at] * in;
    }
    ring_.discard(excess);
    // Dropped unheard, counted as heard: the titles stay with their audio.
    consumedFrames_ += static_cast<int64_t>(excess);
    publishRing();
}

// --- titles ---

void RadioStream::handleMetadataBlock(const uint8_t* block, std::size_t count) {
    if (count == 0) return;
    auto title = IcyMetadata::title(block, count);
    if (join_.holding()) {
        // Where its audio lies is known once the join is. Titles with no audio between them
        // fall due together, and a repeat adds nothing: a station that floods titles while
        // the frames are held does not pile them up.
        if (!heldTitles_.empty() && heldTitles_.back().first == join_.decodedThisConnection()) {
            heldTitles_.back().second = std::move(title);
        } else if (heldTitles_.empty() || heldTitles_.back().second != title) {
            heldTitles_.emplace_back(join_.decodedThisConnection(), std::move(title));
        }
        return;
    }
    // The first title of a connection belongs to the connection's first audio; later
    // ones to the audio that follows the block.
    queueTitle(std::move(title), awaitingFirstTitle_ ? connectionStartFrame_ : pushedFrames_);
}

void RadioStream::queueTitle(std::optional<std::string> title, int64_t stamp) {
    awaitingFirstTitle_ = false;
    if (lastQueuedTitle_ && *lastQueuedTitle_ == title) {
        // Repeats only matter until the first title is known.
        bool known = false;
        {
            std::lock_guard lock(statusLock_);
            known = status_.titleKnown;
        }
        if (!known) appendTitle(stamp, std::move(title));
        return;
    }
    lastQueuedTitle_ = title;
    appendTitle(stamp, std::move(title));
}

void RadioStream::appendTitle(int64_t stamp, std::optional<std::string> title) {
    std::lock_guard lock(statusLock_);
    // Titles stamped at one position fall due together and only the last is heard; keeping
    // just that one stops a station that sends titles without audio from piling them up.
    if (!pendingTitles_.empty() && pendingTitles_.back().frame >= stamp) {
        pendingTitles_.back().title = std::move(title);
        return;
    }
    pendingTitles_.push_back({stamp, std::move(title)});
}

void RadioStream::releaseTitles(int64_t heard) {
    // A title whose audio is the next frame waits, after a dropout, until that audio plays:
    // not while the prebuffer fills again. At the stream's start it is current at once.
    const bool next = heard == 0 || playingNow_.load(std::memory_order_relaxed);
    while (!pendingTitles_.empty() &&
           (pendingTitles_.front().frame < heard || (pendingTitles_.front().frame == heard && next))) {
        PendingTitle due = std::move(pendingTitles_.front());
        pendingTitles_.pop_front();
        status_.titleKnown = true;
        if (due.title != status_.title) {
            status_.title = std::move(due.title);
            status_.titleSerial += 1;
        }
    }
    if (!status_.titleKnown && heard > lockSettleFrames) status_.titleKnown = true;
}

}  // namespace norvo
