#include "Radio/JoinEstimators.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace norvo {

namespace {

// Keeps the N highest values (by `line`) in order, highest first.
template <class T, std::size_t N, class Line = std::identity>
void keepHighest(std::array<T, N>& tops, std::size_t& count, const T& value, Line line = {}) {
    std::size_t at = 0;
    while (at < count && line(tops[at]) >= line(value)) ++at;
    if (at == N) return;
    for (std::size_t i = std::min(count, N - 1); i > at; --i) tops[i] = tops[i - 1];
    tops[at] = value;
    count = std::min(count + 1, N);
}

}  // namespace

void MomentLine::take(double line, double now, double sinking) {
    // The moment before this one is over: it takes its place among the highest.
    if (moment && moment->first != now) keepHighest(tops, count, moment->second);
    moment = {now, line + sinking * now};
    if (!first || first->first == now) first = moment;
}

std::size_t MomentLine::all(std::array<double, kept>& highest) const {
    highest = tops;
    std::size_t known = count;
    if (moment) keepHighest(highest, known, moment->second);
    return known;
}

double MomentLine::confirmed(double now, double sinking, double spread) const {
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

double MomentLine::highestButEarly(double margin) const {
    std::array<double, kept> highest{};
    const std::size_t known = all(highest);
    if (known == 0) return 0;
    const auto isFirst = [&](std::size_t k) { return first && highest[k] == first->second; };
    // Frames handed on early: one moment alone above the rest, or two, where three below
    // them agree. A burst still coming, or a clump of frames handed on together, rises to
    // its last moment, which came no sooner than frames do.
    if (known >= 4 && highest[0] - highest[1] > (isFirst(0) ? 2 * margin : margin) && highest[1] - highest[3] <= margin)
        return highest[1];
    if (known >= 5 && !isFirst(0) && !isFirst(1) && highest[1] - highest[2] > margin &&
        highest[2] - highest[4] <= margin)
        return highest[2];
    return highest[0];
}

void MomentLine::shift(double frames) {
    for (std::size_t i = 0; i < count; ++i) tops[i] += frames;
    if (moment) moment->second += frames;
    if (first) first->second += frames;
}

void BurstArrival::begin(double since, double codecFrame, int64_t before, double roundTrip) {
    *this = {};
    roundTrip_ = roundTrip;
    since_ = lastRise_ = lastBatchAt_ = since;
    tolerance_ = 2 * codecFrame;
    before_ = before;
}

void BurstArrival::take(int64_t held, double now) {
    frames_ = std::max(frames_, held - static_cast<int64_t>((now - since_) * 44100));
    if (now != lastBatchAt_) {
        pauseBefore_ = now - lastBatchAt_;
        lastBatchAt_ = now;
    }
    if (!wholeAt_ && before_ > 0 && double(frames_) + tolerance_ >= double(before_)) wholeAt_ = now;
    if (double(frames_) > riseMark_ + tolerance_) {
        // The link paused this long while the burst came.
        longestPause_ = std::max(longestPause_, pauseBefore_);
        riseMark_ = double(frames_);
        lastRise_ = now;
    } else if (now == lastRise_) {
        // The rest of the moment that rose: the mark is where the burst came to, so that
        // frames the network later brings a little sooner do not count as more of it.
        riseMark_ = double(frames_);
    }
}

std::pair<double, double> BurstArrival::settling() const {
    if (wholeAt_) return {*wholeAt_, least};
    return {lastRise_, std::max(least, 1.5 * std::max(longestPause_, roundTrip_))};
}

bool StationBursts::connectionEnded(double lastAudioAt, double wholeAfter) {
    const bool whole = lastAudioAt - connectionAt_ >= wholeAfter;
    if (connection_ > 0 && whole) shortest_ = std::min(shortest_.value_or(connection_), connection_);
    connection_ = 0;
    connectionMark_ = 0;
    return whole;
}

bool StationBursts::measure(int64_t ahead, double now, double tolerance) {
    // Measured from where it last rose: a slow link brings the burst in small steps.
    if (double(ahead) > connectionMark_ + tolerance) connectionAt_ = now, connectionMark_ = double(ahead);
    connection_ = std::max(connection_, ahead);
    if (ahead <= longest_) return false;
    longest_ = ahead;
    return true;
}

void NetworkLateness::take(double now, double line, double rise) {
    // Frames that came before the line rose further than a network's unevenness were a
    // burst still arriving, not late.
    if (recent_.empty() || line > riseMark_ + rise) {
        recent_.clear();
        riseMark_ = line;
    }
    if (!recent_.empty() && recent_.back().first == now) recent_.back().second = line;
    else recent_.emplace_back(now, line);
    while (recent_.size() > kept || recent_.front().first < now - keptSeconds) recent_.pop_front();
}

void LineDrift::Sums::add(double time, double line) {
    n += 1;
    t += time;
    y += line;
    tt += time * time;
    ty += time * line;
    yy += line * line;
}

LineDrift::Sums LineDrift::Sums::centred() const {
    if (n == 0) return {};
    return {.n = n, .tt = tt - t * t / n, .ty = ty - t * y / n, .yy = yy - y * y / n};
}

void LineDrift::Sums::pool(const Sums& centred) {
    n += centred.n;
    tt += centred.tt;
    ty += centred.ty;
    yy += centred.yy;
}

void LineDrift::take(double now, double line, double early) {
    early_ = early;
    // Frames that came together count once, as the last of them.
    if (moment_ && moment_->first != now) feed(moment_->first, moment_->second);
    moment_ = {now, line};
}

void LineDrift::feed(double now, double line) {
    if (count_ > 0 && now >= windowFrom_ + windowSeconds) closeWindow();
    if (count_ == 0) windowFrom_ = now;
    keepHighest(highest_, count_, {now, line}, [](const std::pair<double, double>& moment) { return moment.second; });
}

void LineDrift::closeWindow() {
    std::optional<std::pair<double, double>> top;
    for (std::size_t k = 0; k + 2 < count_ && !top; ++k)
        if (highest_[k].second - highest_[k + 2].second <= early_) top = highest_[k];
    count_ = 0;
    if (!top) return;
    // A line that rose further than a frame comes early was a burst still arriving: the run
    // begins after it.
    if (origin_ && top->second > lastTop_ + early_) origin_.reset(), run_ = {};
    lastTop_ = top->second;
    if (!origin_) origin_ = top;
    run_.add(top->first - origin_->first, top->second - origin_->second);
}

void LineDrift::restart() {
    if (moment_) feed(moment_->first, moment_->second);
    closeWindow();
    moment_.reset();
    if (const Sums run = run_.centred(); run.n >= 2) {
        before_.pool(run);
        runs_ += 1;
    }
    origin_.reset();
    run_ = {};
}

double LineDrift::perSecond() const {
    Sums all = before_;
    double runs = runs_;
    if (const Sums run = run_.centred(); run.n >= 2) {
        all.pool(run);
        runs += 1;
    }
    // Each connection has a line of its own; they share the slope.
    const double freedom = all.n - runs - 1;
    // On one degree of freedom the scatter tells nothing of the slope's error, and the
    // expansion below falls far short of Student's t.
    if (freedom < 2 || all.tt <= 0) return 0;
    const double slope = all.ty / all.tt;
    const double error = std::sqrt(std::max(0.0, all.yy - slope * all.ty) / freedom / all.tt);
    // Only as far as it stands out of its error: scatter alone may reach twice that, and
    // further with few seconds to tell it (Student's t, by the Cornish-Fisher expansion).
    const double z = 2, t = z + (z * z * z + z) / (4 * freedom) +
                            (5 * std::pow(z, 5) + 16 * z * z * z + 3 * z) / (96 * freedom * freedom);
    return std::copysign(std::max(0.0, std::abs(slope) - t * error), slope);
}

NetworkLateness::Late NetworkLateness::of(double window, double liveLine) const {
    if (recent_.empty() || window <= 0) return {};
    // Windows that begin on each moment and end within what was received, and how far below
    // the line their highest moment lies. A window of early frames counts as little as one
    // of late ones.
    std::vector<double> lateness;
    const double last = recent_.back().first;
    for (std::size_t i = 0; i < recent_.size() && recent_[i].first + window <= last; ++i) {
        double top = recent_[i].second;
        for (std::size_t j = i + 1; j < recent_.size() && recent_[j].first < recent_[i].first + window; ++j)
            top = std::max(top, recent_[j].second);
        lateness.push_back(liveLine - top);
    }
    if (lateness.size() < 8) return {};
    const auto at = [&](double share) {
        const auto nth = lateness.begin() + static_cast<std::ptrdiff_t>(double(lateness.size()) * share);
        std::nth_element(lateness.begin(), nth, lateness.end());
        return std::max(0.0, *nth);
    };
    const double mostly = at(mostShare);
    return {mostly, at(0.5)};
}

}  // namespace norvo
