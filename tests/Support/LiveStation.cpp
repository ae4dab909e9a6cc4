#include "Support/LiveStation.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace norvo::test {

namespace {

// No connection waits longer than this for the clock, so a forgotten close() cannot hang
// the server's stop.
constexpr auto patience = std::chrono::seconds(60);

}  // namespace

LiveStation::LiveStation(LoopbackHttpServer& server, const std::string& path, std::shared_ptr<ManualLoopClock> clock,
                         Options options)
    : options_(std::move(options)), clock_(std::move(clock)) {
    listener_ = clock_->addListener([this] { changed_.notify_all(); });
    server.route(path, [this](const LoopbackHttpServer::Request&) {
        std::size_t index;
        {
            std::lock_guard lock(mutex_);
            index = connections_.size();
            const std::size_t edge = onAirLocked();
            const std::size_t from = edge > options_.burst ? edge - options_.burst : 0;
            connections_.push_back({.from = from, .to = from});
        }
        changed_.notify_all();
        LoopbackHttpServer::Script script;
        script.statusLine = "ICY 200 OK";
        script.headers = {{"Content-Type", "audio/mpeg"}, {"icy-name", "Live FM"}};
        script.producer = [this, index](std::size_t) { return piece(index); };
        return script;
    });
}

LiveStation::~LiveStation() { close(); }

std::size_t LiveStation::onAirLocked() const {
    const double bytes = double(options_.onAirAtStart) + clock_->now() * options_.bytesPerSecond;
    return std::min(options_.audio.size(), static_cast<std::size_t>(std::floor(bytes)));
}

std::size_t LiveStation::onAir() const {
    std::lock_guard lock(mutex_);
    return onAirLocked();
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
        const std::size_t until = connection.dropAt ? *connection.dropAt : onAirLocked();
        if (until > connection.to) {
            std::string bytes = options_.audio.substr(connection.to, until - connection.to);
            connection.to = until;
            changed_.notify_all();
            return bytes;
        }
        if (connection.dropAt) {
            connection.ended = true;
            changed_.notify_all();
            return {};
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return {};
    }
}

void LiveStation::drop() {
    {
        std::lock_guard lock(mutex_);
        for (Connection& connection : connections_)
            if (!connection.ended && !connection.dropAt) connection.dropAt = std::max(connection.to, onAirLocked());
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
}

bool LiveStation::waitUntilSent(std::size_t count, double seconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
        if (connections_.size() < count) return false;
        const std::size_t edge = onAirLocked();
        return std::all_of(connections_.begin(), connections_.end(),
                           [&](const Connection& c) { return c.ended || c.to >= (c.dropAt ? *c.dropAt : edge); });
    });
}

std::vector<std::pair<std::size_t, std::size_t>> LiveStation::sent() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (const Connection& connection : connections_) ranges.emplace_back(connection.from, connection.to);
    return ranges;
}

}  // namespace norvo::test
