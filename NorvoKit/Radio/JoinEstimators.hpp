#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace norvo {

// The quantities a reconnection's join estimates from when frames arrived. Lines are in
// frames: a frame position less the loop clock in frames when it arrived, so a frame that
// came sooner stands higher.

// A line from the moments frames came: each moment's line is that of the last frames that
// came with it, kept as the line plus its sinking since the clock's start, so the order
// holds as the lines sink.
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
    // first moment, twice that), or it and the next do, and three below agree within it.
    double highestButEarly(double margin) const;
    void shift(double frames);
    // The kept moments and the one being received, highest first; how many.
    std::size_t all(std::array<double, kept>& highest) const;
};

// How a connection's burst arrives: how far ahead of real time its frames came, and when it
// came whole. It is still arriving while the frames keep coming further ahead, by more than
// the tolerance (two codec frames: one may come early, as sources hand them on, one late).
// It has come whole once it came as far ahead as the station's bursts before (a server cuts
// its burst at its own blocks), or once it has not come further for `least` and for half as
// long again as the longest pause before it came further, or as the connection's round trip
// (a far server sends in round trips, and the first pause comes before any was seen).
class BurstArrival {
public:
    static constexpr double least = 0.25;

    // `since`: the connection's first audio bytes; `before`: the station's burst so far, if
    // any; `roundTrip`: the connection's, in seconds, as far as it is known.
    void begin(double since, double codecFrame, int64_t before, double roundTrip);
    // `held` frames have come by `now`.
    void take(int64_t held, double now);
    int64_t frames() const { return frames_; }
    // It came as far ahead as the station's bursts before.
    bool cameWhole() const { return wholeAt_.has_value(); }
    double since() const { return since_; }
    double tolerance() const { return tolerance_; }
    // When the burst's settle is counted from, and how long it is.
    std::pair<double, double> settling() const;

private:
    double since_ = 0;
    int64_t frames_ = 0;   // most frames ahead of real time since the first
    double riseMark_ = 0;  // frames_ when it last rose by more than the tolerance
    double tolerance_ = 0;
    int64_t before_ = 0;
    std::optional<double> wholeAt_;  // loop clock when the burst came as far ahead as before
    double lastRise_ = 0;            // loop clock then
    double lastBatchAt_ = 0;
    double longestPause_ = 0;  // between frames, before those that came further ahead
    double pauseBefore_ = 0;   // before the frames of this moment
    double roundTrip_ = 0;     // seconds
};

// The station's bursts over its connections: the longest any brought ahead of real time,
// and the shortest that came whole (the one a burst that has come whole is sure to reach):
// one that had not come further for a while when its connection ended.
class StationBursts {
public:
    // A connection that came ahead of real time for a while after its burst measured it;
    // whether its burst came whole (none: it came at the live pace).
    bool connectionEnded(double lastAudioAt, double wholeAfter);
    // The connection came `ahead` frames ahead of real time by `now`; whether that is the
    // longest any connection came.
    bool measure(int64_t ahead, double now, double tolerance);
    int64_t longest() const { return longest_; }
    int64_t before() const { return shortest_.value_or(longest_); }
    // How far ahead the connection being received came.
    int64_t connection() const { return connection_; }

private:
    int64_t longest_ = 0;
    std::optional<int64_t> shortest_;
    int64_t connection_ = 0;
    double connectionMark_ = 0;  // how far ahead it came when it last grew by more than the tolerance
    double connectionAt_ = 0;    // loop clock then
};

// How fast the live line moves against the loop clock, in frames per second: a station
// whose clock runs slower than ours puts its audio on the air a little later every second.
// A network only delays frames, so each second's highest moment lies near the line (the
// highest that two more confirm within `early`: a source now and then hands on a frame
// early); a line is fitted through them, connection by connection (a join places each
// one's positions afresh), and its slope is taken in as far as it stands out of their
// scatter.
class LineDrift {
public:
    static constexpr double windowSeconds = 1;

    void take(double now, double line, double early);
    // A connection begins, its positions placed afresh.
    void restart();
    double perSecond() const;

private:
    // Sums about a connection's first second, or pooled over connections about each one's mean.
    struct Sums {
        double n = 0, t = 0, y = 0, tt = 0, ty = 0, yy = 0;
        void add(double time, double line);
        Sums centred() const;
        void pool(const Sums& centred);
    };
    void feed(double now, double line);
    void closeWindow();

    std::optional<std::pair<double, double>> moment_;  // (loop clock, line) being received
    static constexpr std::size_t tops = 6;
    std::array<std::pair<double, double>, tops> highest_{};  // of the second, highest first
    std::size_t count_ = 0;
    double windowFrom_ = 0;
    double early_ = 0;
    std::optional<std::pair<double, double>> origin_;  // the connection's first second
    double lastTop_ = 0;                               // the last second's line
    Sums run_, before_;
    double runs_ = 0;  // connections before this one
};

// How late a window of frames typically comes below the live line on this network: a held
// window's line lies as far below. Measured since the line last rose by more than the
// network's unevenness: frames before that were a burst still arriving.
class NetworkLateness {
public:
    void take(double now, double line, double rise);
    void clear() { recent_.clear(); }
    // How late windows this long come: `mostly`, as late as most of them; `typically`,
    // the middle one. Both 0 with too few windows to tell.
    struct Late {
        double mostly = 0, typically = 0;
    };
    Late of(double window, double liveLine) const;

private:
    static constexpr std::size_t kept = 2048;
    static constexpr double keptSeconds = 5;  // a station's clock moves the line a little against ours
    static constexpr double mostShare = 0.75;
    std::deque<std::pair<double, double>> recent_;  // (loop clock, line), the latest last
    double riseMark_ = 0;                           // the line when it last rose
};

}  // namespace norvo
