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

// Keeps the longest time one step of a join took on the loop.
class JoinStep {
public:
    explicit JoinStep(double& longest) : longest_(longest) {}
    ~JoinStep() {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start_;
        longest_ = std::max(longest_, took.count());
    }
    JoinStep(const JoinStep&) = delete;
    JoinStep& operator=(const JoinStep&) = delete;

private:
    double& longest_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Copies the stream positions [from, end) between two rings indexed by position modulo
// their sizes, a run at a time.
void copyPositions(const std::vector<float>& source, std::vector<float>& target, int64_t from, int64_t end) {
    const auto in = static_cast<int64_t>(source.size()), out = static_cast<int64_t>(target.size());
    for (int64_t p = from; p < end;) {
        const int64_t run = std::min({in - p % in, out - p % out, end - p});
        std::copy_n(source.begin() + p % in, run, target.begin() + p % out);
        p += run;
    }
}

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
      history_(historyLeastFrames, 0.0f) {
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
    join_ = Join::direct;
    comparing_ = false;
    settleTimer_.cancel();
    heldLeft_.clear();
    heldRight_.clear();
    heldTitles_.clear();
}

void RadioStream::connect(const std::string& target) {
    if (!sessionOpen_) return;
    teardownDecoder();
    finishJoin();
    demuxer_ = IcyDemuxer(0);
    playlist_.reset();
    // A connection whose burst came whole, and the audio after it for a while, measured it.
    // A server cuts its burst at its own blocks or codec frames: the shortest is the one a
    // burst that has come whole is sure to reach.
    if (connectionBurst_ > 0 && lastAudioAt_ - connectionBurstAt_ >= burstLastSeconds)
        shortestBurst_ = std::min(shortestBurst_.value_or(connectionBurst_), connectionBurst_);
    connectionBurst_ = 0;
    framesThisConnection_ = 0;
    decodedThisConnection_ = 0;
    connectionStartFrame_ = pushedFrames_;
    awaitingFirstTitle_ = true;
    // After a connection that played, the server's burst is matched against what was
    // received before any of it is heard.
    join_ = everStreamed_ && pushedFrames_ > 0 ? Join::probing : Join::direct;
    outageFrom_ = lastAudioAt_;
    connectionAudioSince_.reset();
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
    if (!connectionAudioSince_) connectionAudioSince_ = loop_->now();
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
    auto count = static_cast<std::size_t>(frames);
    codecFrame_ = std::max(codecFrame_, double(frames));
    decodedThisConnection_ += frames;
    lastAudioAt_ = loop_->now();
    // How far ahead of real time this connection came: its burst, as far as it has come.
    const double since = lastAudioAt_ - connectionAudioSince_.value_or(lastAudioAt_);
    const auto ahead = decodedThisConnection_ - static_cast<int64_t>(since * frameRate);
    if (ahead > longestBurst_) {
        longestBurst_ = ahead;
        growHistory();
    }
    if (double(ahead) > double(connectionBurst_) + 2 * codecFrame_) connectionBurstAt_ = lastAudioAt_;
    connectionBurst_ = std::max(connectionBurst_, ahead);
    if (join_ != Join::probing) {
        deliver(left, right, count);
        return;
    }
    const double now = lastAudioAt_;
    if (heldLeft_.empty()) {
        // From the connection's first audio bytes: a decoder that collects a few frames
        // before its first output makes no burst.
        heldSince_ = std::min(now, connectionAudioSince_.value_or(now));
        burstFrames_ = 0;
        heldMoments_ = {};
        riseMark_ = 0;
        riseTolerance_ = 2 * codecFrame_;
        burstBefore_ = shortestBurst_.value_or(longestBurst_);
        lastRise_ = lastBatchAt_ = nextEarlyMatch_ = heldSince_;
        longestPause_ = pauseBefore_ = 0;
        wholeAt_.reset();
        // A burst that has ended, or none at all, leaves nothing else to wake the join.
        armSettleTimer(heldSince_ + burstSettleSeconds);
    }
    heldLeft_.insert(heldLeft_.end(), left, left + count);
    heldRight_.insert(heldRight_.end(), right, right + count);
    const auto held = static_cast<int64_t>(heldLeft_.size());
    burstFrames_ = std::max(burstFrames_, held - static_cast<int64_t>((now - heldSince_) * frameRate));
    if (now != lastBatchAt_) {
        pauseBefore_ = now - lastBatchAt_;
        lastBatchAt_ = now;
    }
    if (!wholeAt_ && burstBefore_ > 0 && double(burstFrames_) + riseTolerance_ >= double(burstBefore_)) wholeAt_ = now;
    if (double(burstFrames_) > riseMark_ + riseTolerance_) {
        // The link paused this long while the burst came.
        longestPause_ = std::max(longestPause_, pauseBefore_);
        riseMark_ = double(burstFrames_);
        lastRise_ = now;
    }
    heldMoments_.take(double(held) - now * frameRate, now, 0);
    heldLine_ = heldMoments_.highestButEarly(codecFrame_ * earlyHeldShare);
    if (comparing_) return;
    const JoinStep step(longestJoinStep_);
    if (heldLeft_.size() >= ringCapacity) return decideJoin();
    considerJoin(now, false);
}

std::pair<double, double> RadioStream::settling() const {
    // A burst that has come as far ahead as the station's bursts came before has come whole:
    // it is dated from then. Otherwise from when it last came further ahead, as long after
    // as the link paused while it came.
    if (wholeAt_) return {*wholeAt_, burstSettleSeconds};
    return {lastRise_, std::max(burstSettleSeconds, 1.5 * longestPause_)};
}

void RadioStream::considerJoin(double now, bool woken) {
    const auto [from, settle] = settling();
    if (now - from < settle) {
        // The burst is still arriving, so the timing cannot date it yet; what has come is
        // compared with what was received, and a place that has no equal is the join.
        if (woken || now - heldSince_ < settle || heldLeft_.size() < probeCapacity || now < nextEarlyMatch_) return;
        nextEarlyMatch_ = now + burstSettleSeconds;
        compareOffLoop(joinInputs(joinReach(), std::nullopt), [this](const JoinMatch::Result& matches) {
            if (!matches.found || matches.found->lookAlike) return;
            joinAt(matches.found->origin);
            placedByAudio_ = true;
        });
        return;
    }
    // Waiting longer would only hold up the audio, and must not let what is buffered run out.
    const bool runningLow = bufferedFrames_.load(std::memory_order_relaxed) < int64_t(lowBufferSeconds * frameRate);
    const double dated = woken ? burstLastSeconds : burstDatingSeconds;
    if (runningLow || now - from >= settle + dated - burstSettleSeconds) decideJoin();
}

void RadioStream::armSettleTimer(double at) {
    std::weak_ptr<int> token = alive_;
    settleTimer_ = loop_->dispatchAfter(std::max(0.0, at - loop_->now()), [this, token, serial = connectionSerial_] {
        if (!token.lock() || !isCurrent(serial) || join_ != Join::probing) return;
        const double now = loop_->now();
        if (!comparing_) {
            const JoinStep step(longestJoinStep_);
            considerJoin(now, true);
        }
        if (join_ != Join::probing) return;
        // While the comparisons are under way, or past the last wake, it looks again a settle later.
        const auto [from, settle] = settling();
        const double next = now < from + settle ? from + settle : from + settle + burstLastSeconds - burstSettleSeconds;
        armSettleTimer(next > now ? next : now + burstSettleSeconds);
    });
}

void RadioStream::growHistory() {
    const auto wanted = static_cast<std::size_t>(std::max(historyLeastFrames, 2 * longestBurst_));
    if (wanted <= history_.size()) return;
    // Grown by half again at least, so that a burst arriving slowly does not copy it at every batch.
    std::vector<float> grown(std::max(wanted, history_.size() * 3 / 2), 0.0f);
    const auto kept = std::min<int64_t>(pushedFrames_, static_cast<int64_t>(history_.size()));
    copyPositions(history_, grown, pushedFrames_ - kept, pushedFrames_);
    history_ = std::move(grown);
}

void RadioStream::decoderFailed(const std::string& message) { fail(message); }

void RadioStream::deliver(const float* left, const float* right, std::size_t frames) {
    if (join_ == Join::skipping) {
        const auto skipped = static_cast<std::size_t>(std::min<int64_t>(skipRemaining_, static_cast<int64_t>(frames)));
        skipRemaining_ -= static_cast<int64_t>(skipped);
        if (skipRemaining_ == 0) join_ = Join::direct;
        left += skipped;
        right += skipped;
        frames -= skipped;
    }
    for (std::size_t offset = 0; offset < frames; offset += outputCapacity) {
        const std::size_t batch = std::min<std::size_t>(outputCapacity, frames - offset);
        push(left + offset, right + offset, batch);
    }
}

void RadioStream::push(const float* left, const float* right, std::size_t frames) {
    const double now = loop_->now();
    framesThisConnection_ += static_cast<int64_t>(frames);
    if (framesThisConnection_ > prebufferFrames_) {
        everStreamed_ = true;
        attempt_ = 0;
        // A connection that played ends any chain of playlists, so reconnections through
        // the station's playlist URL do not use the guard up over an evening.
        playlistHops_ = 0;
    }
    // What was received, for matching a reconnection's burst against it.
    for (std::size_t i = 0; i < frames; ++i)
        history_[static_cast<std::size_t>(pushedFrames_ + static_cast<int64_t>(i)) % history_.size()] =
            0.5f * (left[i] + right[i]);
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
    followLiveLine(now);
    std::lock_guard lock(statusLock_);
    if (status_.network.state != Status::Network::State::streaming) status_.network = Status::Network::streaming();
}

// --- joining a reconnection (loop thread) ---

void RadioStream::finishJoin() {
    if (join_ == Join::probing && !heldLeft_.empty() && !cancelled_) {
        const JoinStep step(longestJoinStep_);
        decideJoin(Wait::now);
    }
    comparing_ = false;
    join_ = Join::direct;
    settleTimer_.cancel();
    heldLeft_.clear();
    heldRight_.clear();
    skipRemaining_ = 0;
    heldTitles_.clear();
}

void RadioStream::decideJoin(Wait wait) {
    // A line kept long ago may no longer be where live is (the station's clock is not ours).
    const double now = loop_->now();
    if (keptLine_ && now - keptAt_ > keptLineSeconds) keptLine_.reset();
    // Where the audio placed the last join, the live line measured since is the station's:
    // the kept line goes where it has gone, as fast as the live line itself may sink. It
    // follows a station whose clock is not ours, and no line that the timing placed, so
    // that the timing's errors do not add up.
    if (keptLine_ && liveLineKnown_ && placedByAudio_) {
        const double allowance = liveLineSinking * frameRate * std::max(0.0, now - keptAt_);
        keptLine_ = std::clamp(liveLine_, *keptLine_ - allowance, *keptLine_ + allowance);
        keptAt_ = now;
    }
    heldLateness_ = windowLateness(now - heldSince_);
    const std::optional<int64_t> predicted = predictedOrigin();
    // The burst begins after the last frame received, and what the server sent ahead of
    // the live stream does not reach back over the outage: nothing in it was heard, however
    // much of the history it resembles. Join at the gap; only what was never sent is lost.
    const double outage = std::max(0.0, heldSince_ - outageFrom_) * frameRate;
    if (predicted && *predicted >= pushedFrames_ && double(burstFrames_) < outage) return joinAt(*predicted);
    // A server that sent nothing ahead of the live stream re-sent nothing: however alike
    // the audio (a tone, a loop), none of it was heard already, and nothing piles up.
    if (!sentBurst()) return joinAt(std::nullopt, Unmatched::append);
    const auto inputs = joinInputs(timedReach(), predicted);
    if (wait == Wait::now) return decideMatched(predicted, now, JoinMatch::compute(*inputs));
    compareOffLoop(inputs, [this, predicted, now](const JoinMatch::Result& matches) {
        decideMatched(predicted, now, matches);
    });
}

void RadioStream::decideMatched(std::optional<int64_t> predicted, double now, const JoinMatch::Result& matches) {
    const auto& found = matches.found;
    // Where the timing chose alone among look-alikes, the live line it kept to is kept
    // for the joins after it, and the line of this connection is measured afresh.
    const auto keepLine = [&] {
        if (!keptLine_) keptLateness_ = heldLateness_;
        keptLine_ = keptLine_.value_or(liveLine_);
        keptAt_ = now;
        liveLineKnown_ = false;
    };
    // A match near the timing; among look-alikes too close for the timing to tell apart,
    // the timing chose.
    const auto joinMatched = [&](const BurstMatch::Found& match) {
        if (match.lookAlike && *match.lookAlike < static_cast<int64_t>(timingDecidesBelow * frameRate)) keepLine();
        joinAt(match.origin);
        placedByAudio_ = !match.lookAlike || *match.lookAlike >= static_cast<int64_t>(audioPlacesAbove * frameRate);
    };
    // A match sample by sample places the burst where its look-alikes are too far apart for
    // the timing to choose among; where they are not, the timing alone does as well. Equal
    // to the sample and twice as far apart as the timing tells (a tone's periods, not
    // converted), the look-alike nearest the timing is the one it means, and joins the
    // audio seamlessly.
    const auto placesAlone = [](const BurstMatch::Found& match) {
        return !match.lookAlike || *match.lookAlike >= static_cast<int64_t>(timingDecidesBelow * frameRate) ||
               (match.exact && *match.lookAlike >= static_cast<int64_t>(2 * audioPlacesAbove * frameRate));
    };
    const auto byTiming = [&](std::optional<int64_t> resume) {
        // What overlaps is still compared, near the timing, sample by sample.
        if (const auto& near = matches.near; near && placesAlone(*near)) return joinMatched(*near);
        keepLine();
        joinAt(*predicted, Unmatched::trimBacklog, resume);
    };
    // Where the timing puts too little of the burst over what was received for a match to
    // see, a match further back than the timing's own error is audio that repeats.
    const int64_t overlap = pushedFrames_ - predicted.value_or(pushedFrames_);
    const bool unseen = overlap < static_cast<int64_t>(JoinMatch::garbledFrames + BurstMatch::minimumWindow);
    if (found && found->timed &&
        (!unseen ||
         std::abs(found->origin - *predicted) <= static_cast<int64_t>(JoinMatch::nearTimingSearch * frameRate)))
        return joinMatched(*found);
    // Too little overlaps for a match to see it, or what overlaps is silence: only the
    // timing can place it.
    if (overlap > 0 && (unseen || silentProbe())) {
        // Where a join placed by the timing lost a little, the line measured since is lower
        // than the one kept: keeping to it would hear that little twice. The join resumes
        // where that line puts the burst, and silence keeps the listener as far behind live.
        const int64_t since =
            keptLine_ && liveLineKnown_ ? std::llround(liveLine_ - heldLine_ - heldLateness_) : *predicted;
        return byTiming(since);
    }
    // The timing puts the burst after the last frame received: what matched is audio that repeats.
    if (found && unseen && predicted) return byTiming(std::nullopt);
    // A match without equals far from the timing: a station that does not send in real
    // time.
    if (found) {
        joinAt(found->origin);
        placedByAudio_ = true;
        return;
    }
    // Nothing matched, and the timing puts the burst after the last frame received: a gap,
    // whatever the burst's length measured (it is known only to a codec frame or so).
    if (predicted && *predicted >= pushedFrames_) return joinAt(*predicted);
    // Audio that repeats, none of it where the timing puts the burst: the timing places it,
    // keeping the distance behind live. Nothing at all: other audio.
    if (predicted) {
        if (const auto& anywhere = matches.anywhere; anywhere && anywhere->lookAlike) return byTiming(std::nullopt);
    }
    joinAt(std::nullopt, Unmatched::trimBacklog);
}

bool RadioStream::sentBurst() const { return burstFrames_ >= static_cast<int64_t>(burstAtLeastSeconds * frameRate); }

std::optional<int64_t> RadioStream::predictedOrigin() const {
    if (!liveLineKnown_ && !keptLine_) return std::nullopt;
    // The held frames are few, so their highest came later than the live line's: as late as
    // the highest of as many did on the connection before. A kept line keeps to the lateness
    // it was kept with, so that the joins after it keep the listener's distance.
    if (keptLine_) return std::llround(*keptLine_ - heldLine_ - keptLateness_);
    return std::llround(liveLine_ - heldLine_ - heldLateness_);
}

void RadioStream::followLiveLine(double now) {
    const double sinking = liveLineSinking * frameRate;
    if (!liveLineKnown_) liveMoments_ = {};
    liveMoments_.take(double(pushedFrames_) - now * frameRate, now, sinking);
    liveLine_ = liveMoments_.confirmed(now, sinking, codecFrame_ * confirmingShare);
    liveLineKnown_ = true;
    const double line = double(pushedFrames_) - now * frameRate;
    if (!recentMoments_.empty() && recentMoments_.back().first == now) recentMoments_.back().second = line;
    else recentMoments_.emplace_back(now, line);
    // Recent ones only: a station's clock moves the line a little against ours.
    while (recentMoments_.size() > recentMomentsKept || recentMoments_.front().first < now - recentMomentsSeconds)
        recentMoments_.pop_front();
}

double RadioStream::windowLateness(double window) const {
    if (!liveLineKnown_ || recentMoments_.empty() || window <= 0) return 0;
    // Windows that begin on each moment and end within what was received, and how far below
    // the line their highest moment lies: as far as in most windows (lateWindowsShare), so
    // that a join the timing places errs toward losing a little, not hearing it twice. A
    // window of early frames counts as little as one of late ones.
    std::vector<double> lateness;
    const double last = recentMoments_.back().first;
    for (std::size_t i = 0; i < recentMoments_.size() && recentMoments_[i].first + window <= last; ++i) {
        double top = recentMoments_[i].second;
        for (std::size_t j = i + 1;
             j < recentMoments_.size() && recentMoments_[j].first < recentMoments_[i].first + window; ++j)
            top = std::max(top, recentMoments_[j].second);
        lateness.push_back(liveLine_ - top);
    }
    // Too few windows to tell: the held line is taken as it is.
    if (lateness.size() < 8) return 0;
    const auto middle = lateness.begin() + static_cast<std::ptrdiff_t>(double(lateness.size()) * lateWindowsShare);
    std::nth_element(lateness.begin(), middle, lateness.end());
    return std::max(0.0, *middle);
}

namespace {

template <std::size_t N>
void keepHighest(std::array<double, N>& tops, std::size_t& count, double value) {
    std::size_t at = 0;
    while (at < count && tops[at] >= value) ++at;
    if (at == N) return;
    for (std::size_t i = std::min(count, N - 1); i > at; --i) tops[i] = tops[i - 1];
    tops[at] = value;
    count = std::min(count + 1, N);
}

}  // namespace

void RadioStream::MomentLine::take(double line, double now, double sinking) {
    // The moment before this one is over: it takes its place among the highest.
    if (moment && moment->first != now) keepHighest(tops, count, moment->second);
    moment = {now, line + sinking * now};
    if (!first || first->first == now) first = moment;
}

std::size_t RadioStream::MomentLine::all(std::array<double, kept>& highest) const {
    highest = tops;
    std::size_t known = count;
    if (moment) keepHighest(highest, known, moment->second);
    return known;
}

double RadioStream::MomentLine::confirmed(double now, double sinking, double spread) const {
    std::array<double, kept> highest{};
    const std::size_t known = all(highest);
    if (known == 0) return 0;
    constexpr std::size_t confirming = 3;
    std::size_t chosen = 0;
    for (std::size_t k = 0; k + confirming < known; ++k)
        if (highest[k] - highest[k + confirming] <= spread) {
            chosen = k;
            break;
        }
    return highest[chosen] - sinking * now;
}

double RadioStream::MomentLine::highestButEarly(double margin) const {
    std::array<double, kept> highest{};
    const std::size_t known = all(highest);
    if (known == 0) return 0;
    const auto isFirst = [&](std::size_t k) { return first && highest[k] == first->second; };
    // One moment alone above the rest; or two, where three below them agree.
    if (known >= 3 && highest[0] - highest[1] > (isFirst(0) ? 2 * margin : margin)) return highest[1];
    if (known >= 5 && !isFirst(0) && !isFirst(1) && highest[1] - highest[2] > margin &&
        highest[2] - highest[4] <= margin)
        return highest[2];
    return highest[0];
}

void RadioStream::MomentLine::shift(double frames) {
    for (std::size_t i = 0; i < count; ++i) tops[i] += frames;
    if (moment) moment->second += frames;
    if (first) first->second += frames;
}

bool RadioStream::silentProbe() const {
    const std::size_t from = std::min(heldLeft_.size(), JoinMatch::garbledFrames);
    const std::size_t count = std::min(heldLeft_.size() - from, BurstMatch::minimumWindow);
    return BurstMatch::silent({heldLeft_.data() + from, count}) &&
           BurstMatch::silent({heldRight_.data() + from, count});
}

int64_t RadioStream::timedReach() const {
    const auto tolerance = static_cast<int64_t>(JoinMatch::timingTolerance * frameRate);
    const std::optional<int64_t> timing = predictedOrigin();
    return timing ? std::min(joinReach(), pushedFrames_ - *timing + tolerance) : joinReach();
}

std::shared_ptr<JoinMatch::Inputs> RadioStream::joinInputs(int64_t reach, std::optional<int64_t> predicted) const {
    auto inputs = std::make_shared<JoinMatch::Inputs>();
    const auto kept = static_cast<int64_t>(history_.size());
    const int64_t earliest = std::max(JoinMatch::earliestCompared(pushedFrames_, reach, predicted),
                                      std::max<int64_t>(0, pushedFrames_ - kept));
    const int64_t length = std::max<int64_t>(1, pushedFrames_ - earliest);
    // The same positions, in a ring of their own size.
    inputs->ring.assign(static_cast<std::size_t>(length), 0.0f);
    copyPositions(history_, inputs->ring, std::max<int64_t>(0, pushedFrames_ - length), pushedFrames_);
    inputs->end = pushedFrames_;
    const std::size_t held = JoinMatch::heldCompared(heldLeft_.size(), earliest, seam_, codecFrame_);
    inputs->left.assign(heldLeft_.begin(), heldLeft_.begin() + static_cast<std::ptrdiff_t>(held));
    inputs->right.assign(heldRight_.begin(), heldRight_.begin() + static_cast<std::ptrdiff_t>(held));
    inputs->reach = reach;
    inputs->predicted = predicted;
    inputs->seam = seam_;
    inputs->codecFrame = codecFrame_;
    return inputs;
}

void RadioStream::compareOffLoop(std::shared_ptr<JoinMatch::Inputs> inputs,
                                 std::function<void(const JoinMatch::Result&)> done) {
    comparing_ = true;
    std::weak_ptr<int> token = alive_;
    std::function<void()> compare = [this, inputs = std::move(inputs), done = std::move(done), loop = loop_, token,
                                     serial = connectionSerial_]() mutable {
        auto matches = std::make_shared<const JoinMatch::Result>(JoinMatch::compute(*inputs));
        inputs.reset();
        loop->dispatch([this, done = std::move(done), token, serial, matches] {
            if (!token.lock() || serial != connectionSerial_ || !comparing_) return;
            comparing_ = false;
            const JoinStep step(longestJoinStep_);
            if (join_ == Join::probing && !heldLeft_.empty() && !cancelled_) done(*matches);
        });
    };
    // A thread of its own: a join is rare, and the comparisons take far longer than a start.
    if (options_.comparisons) options_.comparisons(std::move(compare));
    else std::thread(std::move(compare)).detach();
}

void RadioStream::joinAt(std::optional<int64_t> origin, Unmatched unmatched, std::optional<int64_t> resume) {
    const int64_t received = pushedFrames_;
    std::vector<float> heldLeft = std::move(heldLeft_), heldRight = std::move(heldRight_);
    heldLeft_.clear();
    heldRight_.clear();
    settleTimer_.cancel();
    const std::size_t held = heldLeft.size();
    join_ = Join::direct;
    placedByAudio_ = false;
    std::size_t from = 0;
    if (origin) {
        // Frames from the origin up to `received` came with the last connection: skip them,
        // joining on the first frame not received yet. Where that would hear some twice, it
        // resumes past them, and silence keeps the listener as far behind live.
        const bool resumed = resume && *resume < *origin && *resume < received;
        int64_t skip = received - (resumed ? *resume : *origin);
        // A gap, what was never sent, is played as silence too, so the listener stays as far
        // behind live. Where the backlog ran dry, the dropout played part of it; the stream's
        // positions run on past what is not filled, so the lines move nearer by as much.
        const int64_t silence = resumed ? *origin - *resume : std::max<int64_t>(0, -skip);
        if (silence > 0) {
            const int64_t unfilled = silence - fillGap(pushedFrames_ + silence);
            liveLine_ -= static_cast<double>(unfilled);
            liveMoments_.shift(-static_cast<double>(unfilled));
            if (keptLine_) *keptLine_ -= static_cast<double>(unfilled);
        }
        skip = std::max<int64_t>(0, skip);
        joinOrigin_ = pushedFrames_ - skip;
        if (skip >= static_cast<int64_t>(held)) {
            from = held;
            skipRemaining_ = skip - static_cast<int64_t>(held);
            if (skipRemaining_ > 0) join_ = Join::skipping;
        } else {
            from = static_cast<std::size_t>(skip);
        }
    } else {
        // Nothing to match: join as it comes, but do not let every reconnection pile its
        // burst on top of what is buffered. The live line starts afresh.
        joinOrigin_ = received;
        if (unmatched == Unmatched::trimBacklog) trimBacklog();
        liveLineKnown_ = false;
        keptLine_.reset();
    }
    seam_ = pushedFrames_;
    // The connection's audio begins after the silence for a gap: so does its first title.
    connectionStartFrame_ = std::max(connectionStartFrame_, pushedFrames_);
    recentMoments_.clear();
    deliver(heldLeft.data() + from, heldRight.data() + from, held - from);
    // A long burst held tens of megabytes: giving them back to the system takes a while, on
    // a thread of its own rather than on the loop.
    std::thread([left = std::move(heldLeft), right = std::move(heldRight)] {}).detach();
    auto titles = std::move(heldTitles_);
    heldTitles_.clear();
    // Placed as if their audio had come directly: the first at the connection's start,
    // later ones where the audio after them lies (never into what was received before).
    for (auto& [decoded, title] : titles)
        queueTitle(std::move(title), awaitingFirstTitle_ ? connectionStartFrame_
                                                         : std::max(connectionStartFrame_, joinOrigin_ + decoded));
}

int64_t RadioStream::fillGap(int64_t origin) {
    const int64_t gap = origin - pushedFrames_;
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
    for (std::size_t i = 0; i < std::min(filled, history_.size()); ++i)
        history_[static_cast<std::size_t>(pushedFrames_ + static_cast<int64_t>(filled - i - 1)) % history_.size()] = 0;
    pushedFrames_ += static_cast<int64_t>(filled);
    gapFilledFrames_ += static_cast<int64_t>(filled);
    return static_cast<int64_t>(filled);
}

int64_t RadioStream::joinReach() const {
    // A burst re-sends no more than it brings ahead of real time (less the outage): the
    // longest any connection of the station brought, this one's so far among them, as far
    // as its moments can tell it.
    return std::max(longestBurst_, burstFrames_) + static_cast<int64_t>(riseTolerance_);
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
    if (join_ == Join::probing) {
        // Where its audio lies is known once the join is. Titles with no audio between them
        // fall due together, and a repeat adds nothing: a station that floods titles while
        // the frames are held does not pile them up.
        if (!heldTitles_.empty() && heldTitles_.back().first == decodedThisConnection_) {
            heldTitles_.back().second = std::move(title);
        } else if (heldTitles_.empty() || heldTitles_.back().second != title) {
            heldTitles_.emplace_back(decodedThisConnection_, std::move(title));
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
