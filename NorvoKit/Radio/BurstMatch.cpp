#include "Radio/BurstMatch.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <vector>

extern "C" {
#include <libavutil/tx.h>
}

namespace norvo {

namespace {

using Complex = std::complex<double>;
static_assert(sizeof(Complex) == sizeof(AVComplexDouble));

constexpr double peakFloor = 0.5;  // a weaker correlation matches nothing
constexpr double trustedCorrelation = 0.9;
constexpr double trustedAveraged = 0.95;    // of 32-frame averages, when the frames alone fall short
constexpr std::size_t averagedChecks = 32;  // the strongest weaker peaks checked that way
constexpr int64_t step = 32;
// A match this close is the same audio decoded the same way: only matches as close are
// equal to it. Short of that (a resampled stream is resampled from another phase on each
// connection, which alone may cost ten times the error) matches are equal within a wide
// margin, which still keeps out a sustained note shifted by its own period.
constexpr double exactError = 1e-6;
constexpr double exactShare = 0.02;
constexpr double inexactShare = 50;

// Silence, or a constant, from the sum and the sum of squares of n samples.
bool flat(double sum, double squares, double n) { return squares - sum * sum / n <= 1e-9 * n; }

// Pearson correlation of a[0..n) and b[0..n), from the sums the caller keeps.
double correlation(double sumAB, double sumA, double sumAA, double sumB, double sumBB, double n) {
    if (flat(sumA, sumAA, n) || flat(sumB, sumBB, n)) return 0;  // silence or a constant matches nothing
    const double covariance = sumAB - sumA * sumB / n;
    return covariance / std::sqrt((sumAA - sumA * sumA / n) * (sumBB - sumB * sumB / n));
}

// One complex transform of a fixed length, forward or inverse, not normalised.
class Transform {
public:
    enum class Direction { forward, inverse };

    Transform(int length, Direction direction) {
        const double scale = 1.0;
        const int inverse = direction == Direction::inverse ? 1 : 0;
        if (av_tx_init(&context_, &run_, AV_TX_DOUBLE_FFT, inverse, length, &scale, AV_TX_UNALIGNED) < 0)
            context_ = nullptr;
    }
    ~Transform() { av_tx_uninit(&context_); }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;

    bool valid() const { return context_ != nullptr; }
    void operator()(std::vector<Complex>& out, std::vector<Complex>& in) {
        run_(context_, out.data(), in.data(), sizeof(Complex));
    }

private:
    AVTXContext* context_ = nullptr;
    av_tx_fn run_ = nullptr;
};

struct Match {
    int64_t at;    // offset into the searched tail of probe[guard]; then where probe[0] lies
    double error;  // squared difference relative to the probe's energy
};

// Sums over any run of a series in constant time.
struct RunningSums {
    std::vector<double> values, squares;
    explicit RunningSums(const std::vector<double>& series)
        : values(series.size() + 1, 0.0), squares(values.size(), 0.0) {
        for (std::size_t i = 0; i < series.size(); ++i) {
            values[i + 1] = values[i] + series[i];
            squares[i + 1] = squares[i] + series[i] * series[i];
        }
    }
    double sum(std::size_t from, std::size_t count) const { return values[from + count] - values[from]; }
    double sumOfSquares(std::size_t from, std::size_t count) const { return squares[from + count] - squares[from]; }
};

// Correlation of 32-frame averages: a stream at another rate is resampled from another
// phase after a reconnection, so its frames fall between the old ones, which costs the
// frame-by-frame match on bright content but not the match of averages.
double averagedCorrelation(std::span<const float> probe, const double* past) {
    double ab = 0, a = 0, aa = 0, b = 0, bb = 0;
    const auto blocks = static_cast<int64_t>(probe.size()) / step;
    for (int64_t k = 0; k < blocks; ++k) {
        double x = 0, y = 0;
        for (int64_t i = k * step; i < (k + 1) * step; ++i) {
            x += probe[static_cast<std::size_t>(i)];
            y += past[i];
        }
        ab += x * y;
        a += x;
        aa += x * x;
        b += y;
        bb += y * y;
    }
    return correlation(ab, a, aa, b, bb, double(blocks));
}

// The trustworthy places of `probe` in `tail`, added to `found`.
void collect(const std::vector<double>& tail, const RunningSums& sums, std::span<const float> probe,
             const std::vector<double>& dots, std::vector<Match>& found) {
    const std::size_t n = probe.size();
    if (tail.size() < n) return;
    double sumA = 0, sumAA = 0;
    for (const float v : probe) {
        sumA += v;
        sumAA += double(v) * v;
    }
    if (sumAA <= 0) return;
    const std::size_t positions = tail.size() - n + 1;
    const auto r = [&](std::size_t q) {
        return correlation(dots[q], sumA, sumAA, sums.sum(q, n), sums.sumOfSquares(q, n), double(n));
    };
    const auto error = [&](std::size_t q) {
        return std::max(0.0, (sumAA + sums.sumOfSquares(q, n) - 2 * dots[q]) / sumAA);
    };

    std::vector<std::pair<double, std::size_t>> weaker;  // (correlation, offset)
    double before = -1, here = r(0);
    for (std::size_t q = 0; q < positions; ++q) {
        const double after = q + 1 < positions ? r(q + 1) : -1;
        // A peak; of a flat top, the last offset.
        if (here >= peakFloor && before <= here && after < here) {
            if (here >= trustedCorrelation) found.push_back({static_cast<int64_t>(q), error(q)});
            else weaker.emplace_back(here, q);
        }
        before = here;
        here = after;
    }
    const auto checked = static_cast<std::ptrdiff_t>(std::min(weaker.size(), averagedChecks));
    std::partial_sort(weaker.begin(), weaker.begin() + checked, weaker.end(), std::greater<>());
    for (std::ptrdiff_t i = 0; i < checked; ++i) {
        const std::size_t q = weaker[static_cast<std::size_t>(i)].second;
        if (averagedCorrelation(probe, tail.data() + q) >= trustedAveraged)
            found.push_back({static_cast<int64_t>(q), error(q)});
    }
}

// The dot products of `whole` and of `part` with the tail at every offset, through the
// spectrum: in blocks whose results overlap by a window (overlap-save), since the library's
// transform slows down badly past 2^17 points.
bool correlate(const std::vector<double>& tail, std::span<const float> whole, std::span<const float> part,
               std::vector<double>& wholeDots, std::vector<double>& partDots) {
    constexpr std::size_t longest = 131072;
    std::size_t length = 1;
    while (length < std::min(tail.size(), longest) || length < 2 * whole.size()) length *= 2;
    Transform forward(static_cast<int>(length), Transform::Direction::forward);
    Transform inverse(static_cast<int>(length), Transform::Direction::inverse);
    if (!forward.valid() || !inverse.valid()) return false;

    // Both probes in one transform, the short one as the imaginary part; their spectra
    // come apart by symmetry. Conjugated, as a correlation takes them, and put together
    // again so that one inverse gives both correlations: the whole window's as the real
    // part, the short one's as the imaginary.
    std::vector<Complex> in(length), block(length), filter(length);
    for (std::size_t i = 0; i < whole.size(); ++i) in[i] = {whole[i], i < part.size() ? double(part[i]) : 0.0};
    forward(block, in);
    for (std::size_t k = 0; k < length; ++k) {
        const Complex z = block[k], mirror = std::conj(block[(length - k) % length]);
        const Complex wholeK = 0.5 * (z + mirror), partK = Complex(0, -0.5) * (z - mirror);
        filter[k] = std::conj(wholeK) + Complex(0, 1) * std::conj(partK);
    }

    wholeDots.assign(tail.size(), 0.0);
    partDots.assign(tail.size(), 0.0);
    const std::size_t valid = length - whole.size() + 1;  // offsets each block settles
    for (std::size_t from = 0; from < tail.size(); from += valid) {
        for (std::size_t i = 0; i < length; ++i) in[i] = from + i < tail.size() ? tail[from + i] : 0.0;
        forward(block, in);
        for (std::size_t k = 0; k < length; ++k) in[k] = block[k] * filter[k];
        inverse(block, in);
        for (std::size_t q = 0; q < valid && from + q < tail.size(); ++q) {
            wholeDots[from + q] = block[q].real() / double(length);
            partDots[from + q] = block[q].imag() / double(length);
        }
    }
    return true;
}

// Among matches as good as the best, the one nearest the prediction, or the latest.
std::optional<BurstMatch::Found> choose(std::span<const Match> matches, std::optional<int64_t> predicted) {
    if (matches.empty()) return std::nullopt;
    // The error, unlike the correlation, tells apart audio at another level: a position
    // shifted along a ramp or a staircase correlates perfectly but does not match.
    double least = matches.front().error;
    for (const Match& m : matches) least = std::min(least, m.error);
    const bool exact = least <= exactError;
    const auto equal = [&](const Match& m) {
        return exact ? m.error <= least * (1 + exactShare) + exactError : m.error <= least * inexactShare;
    };
    const auto distance = [&](int64_t at) { return predicted ? std::abs(at - *predicted) : -at; };
    std::optional<int64_t> chosen;
    for (const Match& m : matches)
        if (equal(m) && (!chosen || distance(m.at) < distance(*chosen))) chosen = m.at;
    std::optional<int64_t> lookAlike;
    for (const Match& m : matches)
        if (equal(m) && m.at != *chosen) lookAlike = std::min(lookAlike.value_or(INT64_MAX), std::abs(m.at - *chosen));
    return BurstMatch::Found{.origin = *chosen, .lookAlike = lookAlike};
}

}  // namespace

std::optional<BurstMatch::Found> BurstMatch::find(const History& history, std::span<const float> probe, Limits limits) {
    if (probe.size() < guard + minimumWindow || history.capacity <= 0 || !history.samples) return std::nullopt;
    const int64_t end = history.end;
    // The history position matched by probe[guard] is that of probe[0] plus the guard, and
    // probe[0] lies no more than the reach back.
    const int64_t earliest =
        std::max({end - std::min(end, history.capacity), end - limits.reach + static_cast<int64_t>(guard), int64_t(0)});
    if (end - earliest < static_cast<int64_t>(minimumWindow)) return std::nullopt;
    std::vector<double> tail(static_cast<std::size_t>(end - earliest));
    for (int64_t p = earliest; p < end; ++p)
        tail[static_cast<std::size_t>(p - earliest)] = history.samples[static_cast<std::size_t>(p % history.capacity)];

    // The whole window, and a short one that still finds an overlap shorter than the whole
    // (on a tone the whole window would match an older period instead).
    const std::span<const float> matched = probe.subspan(guard);
    const std::span<const float> whole = matched.first(std::min(matched.size(), window));
    const std::span<const float> part = matched.first(minimumWindow);

    std::vector<double> wholeDots, partDots;
    if (!correlate(tail, whole, part, wholeDots, partDots)) return std::nullopt;
    const RunningSums sums(tail);
    std::vector<Match> found;
    collect(tail, sums, whole, wholeDots, found);
    collect(tail, sums, part, partDots, found);
    if (found.empty()) return std::nullopt;

    for (Match& m : found) m.at += earliest - static_cast<int64_t>(guard);  // now where probe[0] lies

    if (limits.predicted) {
        // Near where the timing puts the burst, the match nearest it; unless the timing
        // points past all of them, at audio the match could not see.
        std::vector<Match> near;
        for (const Match& m : found)
            if (std::abs(m.at - *limits.predicted) <= limits.tolerance) near.push_back(m);
        auto chosen = choose(near, limits.predicted);
        if (chosen && std::abs(chosen->origin - *limits.predicted) <=
                          (chosen->lookAlike ? *chosen->lookAlike / 2 : limits.tolerance)) {
            chosen->timed = true;
            return chosen;
        }
    }
    // Elsewhere only a match without equals, or the look-alike nearest the timing where it
    // lies nearer it than to the others (the timing was off by more than it allows), unless
    // there is no timing at all.
    auto chosen = choose(found, limits.predicted);
    if (chosen && chosen->lookAlike && limits.predicted &&
        std::abs(chosen->origin - *limits.predicted) >= *chosen->lookAlike / 2)
        return std::nullopt;
    return chosen;
}

bool BurstMatch::silent(std::span<const float> samples) {
    double squares = 0;
    for (const float v : samples) squares += double(v) * v;
    return !samples.empty() && squares <= 1e-9 * double(samples.size());
}

}  // namespace norvo
