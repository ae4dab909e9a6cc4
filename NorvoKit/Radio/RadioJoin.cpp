#include "Radio/RadioJoin.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <tuple>

namespace norvo {

namespace {

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

}  // namespace

RadioJoin::RadioJoin(Playback& playback, Compare compare) : playback_(playback), compare_(std::move(compare)) {}

void RadioJoin::connectionBegan(bool played) {
    // A connection whose burst came whole, and the audio after it for a while, measured it.
    // One whose burst never came whole measured a burst's line, below live: the line measured
    // before it stands; without one, its line lies below live by the burst still to come,
    // which the held frames' dating assumes as well.
    const int64_t ahead = bursts_.connection();
    const bool whole = bursts_.connectionEnded(lastAudioAt_, burstLastSeconds);
    if (whole) {
        if (liveLineKnown_) wholeLine_ = {liveLine_, liveLineAt_}, lineAhead_.reset();
    } else if (wholeLine_) {
        std::tie(liveLine_, liveLineAt_) = *wholeLine_;
        liveMoments_ = {};
        liveMoments_.take(liveLine_, liveLineAt_, liveLineSinking * frameRate);
        liveLineKnown_ = true;
    } else if (liveLineKnown_) {
        lineAhead_ = std::max(lineAhead_.value_or(0), double(ahead));
        keptLine_.reset();
    }
    decodedThisConnection_ = 0;
    drift_.restart();
    hold_ = played ? Hold::probing : Hold::direct;
    outageFrom_ = lastAudioAt_;
    audioSince_.reset();
    roundTrip_ = 0;
}

void RadioJoin::audioBegan(double now) {
    if (!audioSince_) audioSince_ = now;
}

void RadioJoin::decoded(const float* left, const float* right, std::size_t frames, double now) {
    codecFrame_ = std::max(codecFrame_, double(frames));
    decodedThisConnection_ += static_cast<int64_t>(frames);
    lastAudioAt_ = now;
    // How far ahead of real time this connection came: its burst, as far as it has come.
    const auto ahead = decodedThisConnection_ - static_cast<int64_t>((now - audioSince_.value_or(now)) * frameRate);
    if (bursts_.measure(ahead, now, 2 * codecFrame_)) growHistory();
    if (hold_ != Hold::probing) return deliver(left, right, frames, now);
    hold(left, right, frames, now);
}

void RadioJoin::hold(const float* left, const float* right, std::size_t frames, double now) {
    if (held_.empty()) {
        // From the connection's first audio bytes: a decoder that collects a few frames
        // before its first output makes no burst.
        const double since = std::min(now, audioSince_.value_or(now));
        arrival_.begin(since, codecFrame_, bursts_.before(), roundTrip_);
        heldMoments_ = {};
        nextEarlyMatch_ = since;
        earlyReach_ = 0;
        earlyCompared_ = 0;
        earlyOrigin_.reset();
        holdUntil_.reset();
        // A burst that has ended, or none at all, leaves nothing else to wake the join.
        playback_.wake(since + BurstArrival::least);
    }
    held_.append(left, right, frames);
    const auto held = static_cast<int64_t>(held_.size());
    arrival_.take(held, now);
    heldMoments_.take(double(held) - now * frameRate, now, 0);
    heldLine_ = heldMoments_.highestButEarly(codecFrame_ * earlyHeldShare);
    heldRaised_ = 0;
    if (comparing_) return;
    const JoinStep step(longestStep_);
    // A burst re-sends what the server held, which reaches back no further than all that was
    // received and the outage: frames coming further ahead of real time than that are no
    // burst, and holding them longer would only pile them up.
    if (double(arrival_.frames()) > double(end_) + outageFrames()) return decide(now);
    considerJoin(now, false);
}

void RadioJoin::considerJoin(double now, bool woken) {
    // Held while a gap's silence covered the dropout: however the burst goes on.
    if (holdUntil_ && now >= *holdUntil_) return decide(now);
    const auto [from, settle] = arrival_.settling();
    if (now - from < settle) {
        if (now >= dueAt()) {
            // One still arriving when the join is due is dated as if it had come as far as
            // the station's bursts before.
            if (!arrival_.cameWhole()) {
                heldRaised_ = double(std::max<int64_t>(0, bursts_.before() - arrival_.frames()));
                heldLine_ += heldRaised_;
                return decide(now);
            }
            // One that came that far has come whole: waiting out its settle would only hold
            // the join past when it is due. Its last frames may still be on the way (a
            // variable bitrate fits more or fewer in the server's bytes): two codec frames'
            // time is given them.
            if (now >= lastFramesBy()) return decide(now);
        }
        // The burst is still arriving, so the timing cannot date it yet; what has come is
        // compared with what was received, and a place that has no equal is the join.
        // What was received stays as it is while the burst arrives; the held frames compared
        // grow for a while. A place without equal in all that was kept, not only within the
        // reach, joins once the burst reaches back to it: audio that loops further back than
        // the burst reaches is not placed by its audio.
        if (woken || now - arrival_.since() < settle || held_.size() < BurstMatch::probeFrames ||
            now < nextEarlyMatch_ || reach() <= earlyReach_)
            return;
        nextEarlyMatch_ = now + BurstArrival::least;
        earlyReach_ = reach();
        const auto kept = static_cast<int64_t>(history_->size());
        const std::size_t compared = heldCompared(kept, std::nullopt);
        if (compared == earlyCompared_) return joinEarly(now);
        earlyCompared_ = compared;
        compare(inputs(kept, std::nullopt), [this, now](const JoinMatch::Result& matches, double at) {
            earlyTook_ = std::max(earlyTook_, at - now);
            earlyOrigin_.reset();
            if (matches.found && !matches.found->lookAlike) earlyOrigin_ = matches.found->origin;
            joinEarly(at);
        });
        return;
    }
    // Waiting longer would only hold up the audio, and must not let what is buffered run
    // out, unless the gap's silence covers the dropout.
    const double dated = from + settle + (woken ? burstLastSeconds : burstDatingSeconds) - BurstArrival::least;
    bool runningLow = playback_.buffered() < int64_t(lowBufferSeconds * frameRate);
    if (runningLow && gapCoversHold(now, std::min(dated, dueAt()))) {
        runningLow = false;
        holdUntil_ = std::min(dated, dueAt());
        playback_.wake(*holdUntil_);
    }
    if (runningLow || now >= dueAt() || now >= dated) decide(now);
}

bool RadioJoin::gapCoversHold(double now, double until) {
    dateHeld(now);
    const std::optional<int64_t> predicted = predictedOrigin();
    if (!predicted) return false;
    const double dropout = std::max(0.0, (until - now) * frameRate - double(playback_.buffered()));
    return double(gapOrigin(*predicted) - end_) - dropout - double(playback_.silentSince()) >= arrival_.tolerance();
}

double RadioJoin::dueAt() const {
    // The dating ends in time for the comparisons, and for the frame the join resumes on.
    return audioSince_.value_or(arrival_.since()) + streamingWithin - comparingTook_ - 2 * codecFrame_ / frameRate;
}

double RadioJoin::lastFramesBy() const {
    // Two codec frames' time from when it came whole, and time left for the comparisons: a
    // first join knows how long they take only from those made while the burst arrived.
    return std::min(arrival_.settling().first + arrival_.tolerance() / frameRate,
                    audioSince_.value_or(arrival_.since()) + streamingWithin - std::max(comparingTook_, earlyTook_));
}

void RadioJoin::joinEarly(double now) {
    // The burst reaches back to the origin and over the outage: live moved on meanwhile.
    if (!earlyOrigin_ || double(end_ - *earlyOrigin_) + outageFrames() > double(reach()) || comparing_) return;
    joinAt(*earlyOrigin_, now);
    placedByAudio_ = true;
}

void RadioJoin::woken(double now) {
    if (hold_ != Hold::probing) return;
    if (!comparing_) {
        const JoinStep step(longestStep_);
        considerJoin(now, true);
    }
    if (hold_ != Hold::probing) return;
    // While the comparisons are under way, or past the last wake, it looks again a settle later.
    const auto [from, settle] = arrival_.settling();
    const double next = now < from + settle ? from + settle : from + settle + burstLastSeconds - BurstArrival::least;
    double later = next > now ? next : now + BurstArrival::least;
    const double due = std::min(dueAt(), holdUntil_.value_or(dueAt()));
    if (arrival_.cameWhole() && now >= dueAt() && lastFramesBy() > now) later = std::min(later, lastFramesBy());
    playback_.wake(due > now ? std::min(later, due) : later);
}

void RadioJoin::connectionEnded(double now) {
    if (hold_ == Hold::probing && !held_.empty()) {
        const JoinStep step(longestStep_);
        decide(now, Wait::now);
    }
    abandon();
}

void RadioJoin::abandon() {
    comparing_ = false;
    ++generation_;
    hold_ = Hold::direct;
    playback_.wake(std::nullopt);
    held_.release();
    skipRemaining_ = 0;
}

void RadioJoin::growHistory() {
    const auto wanted = static_cast<std::size_t>(std::max(historyLeastFrames, 2 * bursts_.longest()));
    if (wanted <= history_->size()) return;
    // Grown by half again at least, so that a burst arriving slowly does not copy it at every batch.
    auto grown = std::make_shared<std::vector<float>>(std::max(wanted, history_->size() * 3 / 2), 0.0f);
    const auto kept = std::min<int64_t>(end_, static_cast<int64_t>(history_->size()));
    copyPositions(*history_, *grown, end_ - kept, end_);
    history_ = std::move(grown);
}

std::vector<float>& RadioJoin::ownHistory() {
    if (history_.use_count() > 1) history_ = std::make_shared<std::vector<float>>(*history_);
    // What the comparisons read happened before they let go of it.
    std::atomic_thread_fence(std::memory_order_acquire);
    return *history_;
}

void RadioJoin::deliver(const float* left, const float* right, std::size_t frames, double now) {
    if (hold_ == Hold::skipping) {
        const auto skipped = static_cast<std::size_t>(std::min<int64_t>(skipRemaining_, static_cast<int64_t>(frames)));
        skipRemaining_ -= static_cast<int64_t>(skipped);
        if (skipRemaining_ == 0) hold_ = Hold::direct;
        left += skipped;
        right += skipped;
        frames -= skipped;
    }
    if (frames > 0) received(left, right, frames, now);
}

void RadioJoin::received(const float* left, const float* right, std::size_t frames, double now) {
    // What was received, for matching a reconnection's burst against it.
    auto& history = ownHistory();
    const auto size = static_cast<int64_t>(history.size());
    for (std::size_t i = 0; i < frames;) {
        const auto at = static_cast<std::size_t>((end_ + static_cast<int64_t>(i)) % size);
        const std::size_t run = std::min(frames - i, history.size() - at);
        std::transform(left + i, left + i + run, right + i, history.begin() + static_cast<std::ptrdiff_t>(at),
                       [](float l, float r) { return 0.5f * (l + r); });
        i += run;
    }
    playback_.play(left, right, frames);
    end_ += static_cast<int64_t>(frames);
    followLiveLine(now);
}

void RadioJoin::followLiveLine(double now) {
    const double sinking = liveLineSinking * frameRate;
    if (!liveLineKnown_) liveMoments_ = {}, lineAhead_.reset();
    liveMoments_.take(double(end_) - now * frameRate, now, sinking);
    liveLine_ = liveMoments_.confirmed(now, sinking, codecFrame_ * confirmingShare);
    liveLineKnown_ = true;
    liveLineAt_ = now;
    lateness_.take(now, double(end_) - now * frameRate, 2 * codecFrame_);
    drift_.take(now, double(end_) - now * frameRate, codecFrame_ * earlyHeldShare);
}

void RadioJoin::moveLiveLine(double frames) {
    liveLine_ += frames;
    liveMoments_.shift(frames);
}

void RadioJoin::decide(double now, Wait wait) {
    // A line kept long ago may no longer be where live is (the station's clock is not ours).
    if (keptLine_ && now - keptAt_ > keptLineSeconds) keptLine_.reset();
    dateHeld(now);
    // Where the audio placed the last join, the live line measured since is the station's:
    // the kept line goes where it has gone, as fast as the live line itself may sink. It
    // follows a station whose clock is not ours, and no line that the timing placed, so
    // that the timing's errors do not add up.
    if (keptLine_ && liveLineKnown_ && placedByAudio_) {
        const double allowance = liveLineSinking * frameRate * std::max(0.0, now - keptAt_);
        keptLine_ = std::clamp(liveLine_, *keptLine_ - allowance, *keptLine_ + allowance);
        keptAt_ = now;
    }
    const std::optional<int64_t> predicted = predictedOrigin();
    // The burst begins after the last frame received, and what the server sent ahead of
    // the live stream does not reach back over the outage: nothing in it was heard, however
    // much of the history it resembles. Join at the gap; only what was never sent is lost.
    if (predicted && *predicted >= end_ && double(arrival_.frames()) < outageFrames())
        return joinAt(gapOrigin(*predicted), now);
    // A server that sent nothing ahead of the live stream re-sent nothing: however alike
    // the audio (a tone, a loop), none of it was heard already, and nothing piles up.
    if (!sentBurst()) return joinAt(std::nullopt, now, Unmatched::append);
    // As far back as the burst may reach: a burst dated before it came whole, as long as the
    // station's before, may be off by more than the timing allows (a server's block, a
    // variable bitrate), and its audio still places it.
    auto compared = inputs(reach(), predicted);
    if (wait == Wait::now) return decideMatched(predicted, now, JoinMatch::compute(*compared), now);
    compare(std::move(compared), [this, predicted, now](const JoinMatch::Result& matches, double at) {
        comparingTook_ = std::max(comparingTook_, at - now);
        decideMatched(predicted, now, matches, at);
    });
}

void RadioJoin::dateHeld(double now) {
    // The held frames date the burst from when they came at the live pace: the burst before
    // that came faster and stands below their line.
    heldLateness_ = liveLineKnown_ ? lateness_.of(now - arrival_.settling().first, liveLine_) : NetworkLateness::Late{};
    // The live line measured before the outage moved on with the station's clock since.
    if (liveLineKnown_) liveLine_ += drift_.perSecond() * (now - liveLineAt_), liveLineAt_ = now;
    // A line measured on bursts still arriving is dated as far ahead as the held frames are.
    if (liveLineKnown_ && lineAhead_) {
        const double ahead = double(arrival_.frames()) + heldRaised_;
        moveLiveLine(ahead - *lineAhead_);
        lineAhead_ = ahead;
    }
}

void RadioJoin::decideMatched(std::optional<int64_t> predicted, double now, const JoinMatch::Result& matches,
                              double at) {
    const auto& found = matches.found;
    // Where the timing chose alone among look-alikes, the live line it kept to is kept
    // for the joins after it, and the line of this connection is measured afresh.
    const auto keepLine = [&] {
        if (!keptLine_) keptLateness_ = heldLateness_.mostly;
        keptLine_ = keptLine_.value_or(liveLine_);
        keptAt_ = now;
        liveLineKnown_ = false;
    };
    // A match near the timing; among look-alikes too close for the timing to tell apart,
    // the timing chose.
    const auto joinMatched = [&](const BurstMatch::Found& match) {
        if (match.lookAlike && *match.lookAlike < static_cast<int64_t>(timingDecidesBelow * frameRate)) keepLine();
        joinAt(match.origin, at);
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
        joinAt(*predicted, at, Unmatched::trimBacklog, resume);
    };
    // Where the timing puts too little of the burst over what was received for a match to
    // see, a match further back than the timing's own error is audio that repeats.
    const int64_t overlap = end_ - predicted.value_or(end_);
    const bool unseen = overlap < JoinMatch::garbled(codecFrame_) + static_cast<int64_t>(BurstMatch::minimumWindow);
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
            keptLine_ && liveLineKnown_ ? std::llround(liveLine_ - heldLine_ - heldLateness_.mostly) : *predicted;
        return byTiming(since);
    }
    // The timing puts the burst after the last frame received: what matched is audio that repeats.
    if (found && unseen && predicted) return byTiming(std::nullopt);
    // A match without equals far from the timing: a station that does not send in real time.
    if (found) {
        joinAt(found->origin, at);
        placedByAudio_ = true;
        return;
    }
    // Too little held for a match over the reach (the backlog ran low), but what overlaps
    // matched near the timing.
    if (const auto& near = matches.near; near && placesAlone(*near)) return joinMatched(*near);
    // Nothing matched, and the timing puts the burst after the last frame received: a gap,
    // whatever the burst's length measured (it is known only to a codec frame or so).
    if (predicted && *predicted >= end_) return joinAt(*predicted, at);
    // Audio that repeats, none of it where the timing puts the burst: the timing places it,
    // keeping the distance behind live. Nothing at all: other audio.
    if (predicted) {
        if (const auto& anywhere = matches.anywhere; anywhere && anywhere->lookAlike) return byTiming(std::nullopt);
    }
    joinAt(std::nullopt, at, Unmatched::trimBacklog);
}

double RadioJoin::outageFrames() const { return std::max(0.0, arrival_.since() - outageFrom_) * frameRate; }

bool RadioJoin::sentBurst() const { return arrival_.frames() >= static_cast<int64_t>(burstAtLeastSeconds * frameRate); }

std::optional<int64_t> RadioJoin::predictedOrigin() const {
    if (!liveLineKnown_ && !keptLine_) return std::nullopt;
    // The held frames are few, so their highest came later than the live line's: as late as
    // the highest of as many did on the connection before. A kept line keeps to the lateness
    // it was kept with, so that the joins after it keep the listener's distance.
    if (keptLine_) return std::llround(*keptLine_ - heldLine_ - keptLateness_);
    return std::llround(liveLine_ - heldLine_ - heldLateness_.mostly);
}

int64_t RadioJoin::gapOrigin(int64_t predicted) const {
    return predicted + std::llround(heldLateness_.mostly - heldLateness_.typically);
}

bool RadioJoin::silentProbe() const {
    const std::size_t from = std::min(held_.size(), static_cast<std::size_t>(JoinMatch::garbled(codecFrame_)));
    bool silent = true;
    held_.forEachRun(from, from + std::min(held_.size() - from, BurstMatch::minimumWindow),
                     [&](const float* left, const float* right, std::size_t frames) {
                         silent = silent && BurstMatch::silent({left, frames}) && BurstMatch::silent({right, frames});
                     });
    return silent;
}

int64_t RadioJoin::reach() const {
    // A burst re-sends no more than it brings ahead of real time (less the outage): the
    // longest any connection of the station brought, this one's so far among them, as far
    // as its moments can tell it.
    return std::max(bursts_.longest(), arrival_.frames()) + static_cast<int64_t>(arrival_.tolerance());
}

std::size_t RadioJoin::heldCompared(int64_t reach, std::optional<int64_t> predicted) const {
    // Without a timing, only the probe is compared.
    if (!predicted) return std::min(held_.size(), JoinMatch::probeHeld(codecFrame_));
    const auto kept = static_cast<int64_t>(history_->size());
    const int64_t earliest =
        std::max(JoinMatch::earliestCompared(end_, reach, predicted, codecFrame_), std::max<int64_t>(0, end_ - kept));
    return JoinMatch::heldCompared(held_.size(), earliest, seam_, codecFrame_);
}

std::shared_ptr<JoinMatch::Inputs> RadioJoin::inputs(int64_t reach, std::optional<int64_t> predicted) const {
    auto inputs = std::make_shared<JoinMatch::Inputs>();
    // What was received is shared, not copied: nothing is received while the frames are held.
    inputs->ring = history_;
    inputs->end = end_;
    // The held frames are shared too: more come while the comparisons run, but none move.
    inputs->held = held_.view(heldCompared(reach, predicted));
    inputs->reach = reach;
    inputs->predicted = predicted;
    inputs->seam = seam_;
    inputs->codecFrame = codecFrame_;
    return inputs;
}

void RadioJoin::compare(std::shared_ptr<JoinMatch::Inputs> inputs, Done done) {
    comparing_ = true;
    compare_(std::move(inputs),
             [this, done = std::move(done), generation = generation_](const JoinMatch::Result& matches, double at) {
                 if (generation != generation_ || !comparing_) return;
                 comparing_ = false;
                 const JoinStep step(longestStep_);
                 if (hold_ == Hold::probing && !held_.empty()) done(matches, at);
             });
}

void RadioJoin::joinAt(std::optional<int64_t> origin, double now, Unmatched unmatched, std::optional<int64_t> resume) {
    const int64_t last = end_;  // the last connection's frames end here
    HeldFrames frames;
    std::swap(frames, held_);
    playback_.wake(std::nullopt);
    ++generation_;
    const std::size_t held = frames.size();
    hold_ = Hold::direct;
    placedByAudio_ = false;
    std::size_t from = 0;
    int64_t joinOrigin = last;
    if (origin) {
        // Frames from the origin up to `last` came with the last connection: skip them,
        // joining on the first frame not received yet. Where that would hear some twice, it
        // resumes past them, and silence keeps the listener as far behind live.
        const bool resumed = resume && *resume < *origin && *resume < last;
        int64_t skip = last - (resumed ? *resume : *origin);
        // A gap, what was never sent, is played as silence too, so the listener stays as far
        // behind live. Where the backlog ran dry, the dropout played part of it; the stream's
        // positions run on past what is not filled, so the lines move nearer by as much.
        const int64_t silence = resumed ? *origin - *resume : std::max<int64_t>(0, -skip);
        if (silence > 0) {
            const int64_t unfilled = silence - fillGap(end_ + silence);
            moveLiveLine(-static_cast<double>(unfilled));
            if (keptLine_) *keptLine_ -= static_cast<double>(unfilled);
        }
        skip = std::max<int64_t>(0, skip);
        joinOrigin = end_ - skip;
        if (skip >= static_cast<int64_t>(held)) {
            from = held;
            skipRemaining_ = skip - static_cast<int64_t>(held);
            if (skipRemaining_ > 0) hold_ = Hold::skipping;
        } else {
            from = static_cast<std::size_t>(skip);
        }
    } else {
        // Nothing to match: join as it comes, but do not let every reconnection pile its
        // burst on top of what is buffered. The live line starts afresh.
        if (unmatched == Unmatched::trimBacklog) playback_.trimBacklog();
        liveLineKnown_ = false;
        keptLine_.reset();
    }
    seam_ = end_;
    lateness_.clear();
    playback_.joined(joinOrigin);
    frames.forEachRun(from, held, [&](const float* left, const float* right, std::size_t count) {
        received(left, right, count, now);
    });
    // A long burst held tens of megabytes: giving them back to the system takes a while, on
    // a thread of its own rather than on the loop.
    std::thread([blocks = frames.release()] {}).detach();
}

int64_t RadioJoin::fillGap(int64_t origin) {
    const int64_t filled = playback_.playGap(origin - end_);
    auto& history = ownHistory();
    const auto size = static_cast<int64_t>(history.size());
    for (int64_t i = 0; i < std::min(filled, size); ++i)
        history[static_cast<std::size_t>((end_ + filled - i - 1) % size)] = 0;
    end_ += filled;
    return filled;
}

}  // namespace norvo
