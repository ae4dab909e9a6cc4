#include "Support/LiveStation.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Radio/RadioStreamDecoder.hpp"

namespace norvo::test {

namespace {

// No connection waits longer than this for the clock, so a forgotten close() cannot hang
// the server's stop.
constexpr auto patience = std::chrono::seconds(60);

// A delay in [0, 1) of the network's own, fixed for each hundredth of a second.
double lateness(double at) {
    auto x = static_cast<uint64_t>(std::floor(at * 100 + 1e-6)) + 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return double((x ^ (x >> 31)) >> 11) / double(1ull << 53);
}

}  // namespace

// The frames a listener's decoder makes of the stream up to where it has been sent.
struct LiveStation::Reference final : RadioStreamDecoder::Client {
    explicit Reference(const std::string& mimeType) : decoder(RadioStreamDecoder::fileTypeHint(mimeType, ""), *this) {}
    void decoderReady(const RadioStreamDecoder::Format&) override {}
    void decodedFrames(const float*, const float*, int count) override { frames += count; }
    void decoderFailed(const std::string&) override {}

    RadioStreamDecoder decoder;
    std::size_t fed = 0;
    int64_t frames = 0;
};

LiveStation::LiveStation(LoopbackHttpServer& server, const std::string& path, std::shared_ptr<ManualLoopClock> clock,
                         Options options)
    : options_(std::move(options)),
      reference_(std::make_unique<Reference>(options_.mimeType)),
      clock_(std::move(clock)) {
    // Under the lock: the clock's time is not, and a connection that has just read it must be
    // waiting before it is told that it moved.
    listener_ = clock_->addListener([this] {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    });
    server.route(path, [this, calls = calls_](const LoopbackHttpServer::Request&) {
        return admitted(*calls, LoopbackHttpServer::status(503), [this] { return connect(); });
    });
}

template <class Result, class Call>
Result LiveStation::admitted(Calls& calls, Result closing, Call call) {
    {
        std::lock_guard lock(calls.mutex);
        if (calls.closed) return closing;
        ++calls.running;
    }
    Result result = call();
    std::lock_guard lock(calls.mutex);
    if (--calls.running == 0) calls.done.notify_all();
    return result;
}

LoopbackHttpServer::Script LiveStation::connect() {
    std::size_t index;
    {
        std::lock_guard lock(mutex_);
        index = connections_.size();
        // A held connection is answered, burst and all, once the hold is over.
        const double at = clock_->now() + hold_;
        hold_ = 0;
        const std::size_t edge = onAirLocked(at);
        std::size_t from = edge > options_.burst ? edge - options_.burst : 0;
        if (options_.blockBytes > 0) from -= from % options_.blockBytes;
        connections_.push_back({.from = from, .to = from, .connectedAt = at, .burstEnd = edge});
    }
    changed_.notify_all();
    LoopbackHttpServer::Script script;
    script.statusLine = "ICY 200 OK";
    script.headers = {{"Content-Type", options_.mimeType}, {"icy-name", "Live FM"}};
    script.producer = [this, calls = calls_, index](std::size_t) {
        return admitted(*calls, std::string(), [this, index] { return piece(index); });
    };
    return script;
}

LiveStation::~LiveStation() { close(); }

std::size_t LiveStation::onAirLocked(double clockTime) const {
    const double at = clockTime * options_.clockRate;
    std::size_t bytes = options_.audio.size();
    const std::vector<std::size_t>& ends = options_.frameEnds;
    if (!ends.empty()) {
        const auto atStart =
            std::size_t(std::upper_bound(ends.begin(), ends.end(), options_.onAirAtStart) - ends.begin());
        const double passed = std::floor(std::max(0.0, at) / options_.frameSeconds + 1e-9);
        const std::size_t frames = std::min(ends.size(), atStart + static_cast<std::size_t>(passed));
        bytes = frames == 0 ? 0 : ends[frames - 1];
    } else {
        const double made = double(options_.onAirAtStart) + at * options_.bytesPerSecond;
        bytes = std::min(bytes, static_cast<std::size_t>(std::floor(made)));
    }
    if (options_.blockBytes > 0 && bytes < options_.audio.size()) bytes -= bytes % options_.blockBytes;
    return bytes;
}

void LiveStation::holdNext(double seconds) {
    std::lock_guard lock(mutex_);
    hold_ = std::max(0.0, seconds);
}

double LiveStation::lastConnectedAt() const {
    std::lock_guard lock(mutex_);
    return connections_.empty() ? 0 : connections_.back().connectedAt;
}

std::optional<double> LiveStation::carriedBy(double elapsed) const {
    elapsed = std::max(0.0, elapsed);
    const double linkBytesPerSecond = options_.linkRate * streamBytesPerSecond();
    if (options_.roundTrip > 0) {
        double carried = 0, window = double(options_.firstWindow);
        for (double trip = options_.roundTrip; trip <= elapsed; trip += options_.roundTrip) {
            carried += linkBytesPerSecond > 0 ? std::min(window, linkBytesPerSecond * options_.roundTrip) : window;
            window *= 2;
        }
        return carried;
    }
    if (linkBytesPerSecond > 0) return elapsed * linkBytesPerSecond;
    return std::nullopt;
}

double LiveStation::streamBytesPerSecond() const {
    if (options_.frameEnds.empty() || options_.frameSeconds <= 0) return options_.bytesPerSecond;
    return double(options_.frameEnds.back()) / (double(options_.frameEnds.size()) * options_.frameSeconds);
}

double LiveStation::stationTime() const { return clock_->now() * options_.clockRate; }

std::size_t LiveStation::onAir() const {
    std::lock_guard lock(mutex_);
    return onAirLocked(clock_->now());
}

std::size_t LiveStation::arrivedLocked(const Connection& connection) const {
    // What the station had sent on this connection `lateness` ago: the burst at once on
    // connecting, then the stream as it went on the air.
    const double now = clock_->now();
    double sentAt = now - options_.jitter * lateness(now);
    // For one hundredth of a second in each period, a codec frame comes early.
    if (options_.earlyFrameEvery > 0 && std::fmod(now, options_.earlyFrameEvery) < 0.01)
        sentAt += options_.frameSeconds;
    std::size_t sent =
        sentAt < connection.connectedAt ? connection.from : std::max(connection.burstEnd, onAirLocked(sentAt));
    if (const auto carried = carriedBy(now - connection.connectedAt))
        sent = std::min(sent, connection.from + static_cast<std::size_t>(*carried));
    return std::max(connection.to, sent);
}

std::string LiveStation::piece(std::size_t index) {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        Connection& connection = connections_[index];
        if (closed_) {
            connection.ended = true;
            changed_.notify_all();
            return {};
        }
        const std::size_t until = connection.dropAt ? *connection.dropAt : arrivedLocked(connection);
        if (until > connection.to) {
            std::string bytes = options_.audio.substr(connection.to, until - connection.to);
            connection.to = until;
            changed_.notify_all();
            return bytes;
        }
        if (connection.dropAt && clock_->now() >= connection.endAt) {
            connection.ended = true;
            changed_.notify_all();
            return {};
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return {};
    }
}

void LiveStation::drop(double stallSeconds) {
    {
        std::lock_guard lock(mutex_);
        for (Connection& connection : connections_)
            if (!connection.ended && !connection.dropAt) {
                connection.dropAt = arrivedLocked(connection);
                connection.endAt = clock_->now() + stallSeconds;
            }
    }
    changed_.notify_all();
}

void LiveStation::close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        closed_ = true;
    }
    clock_->removeListener(listener_);
    changed_.notify_all();
    // A piece under way returns at once now that the station is closed.
    std::unique_lock lock(calls_->mutex);
    calls_->closed = true;
    calls_->done.wait(lock, [&] { return calls_->running == 0; });
}

bool LiveStation::waitUntilSent(std::size_t count, double seconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
        if (connections_.size() < count) return false;
        return std::all_of(connections_.begin(), connections_.end(), [&](const Connection& c) {
            return c.ended || c.to >= (c.dropAt ? *c.dropAt : arrivedLocked(c));
        });
    });
}

double LiveStation::distanceBehindLive(int64_t unheard) {
    const std::size_t end = sent().back().second;
    if (end > reference_->fed) {
        reference_->decoder.feed(reinterpret_cast<const uint8_t*>(options_.audio.data()) + reference_->fed,
                                 end - reference_->fed);
        reference_->fed = end;
    }
    return stationTime() - double(reference_->frames - unheard) / 44100;
}

std::vector<std::pair<std::size_t, std::size_t>> LiveStation::sent() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (const Connection& connection : connections_) ranges.emplace_back(connection.from, connection.to);
    return ranges;
}

}  // namespace norvo::test
