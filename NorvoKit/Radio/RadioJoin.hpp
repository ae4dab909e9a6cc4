#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Radio/HeldFrames.hpp"
#include "Radio/JoinEstimators.hpp"
#include "Radio/JoinMatch.hpp"

namespace norvo {

// Joins each connection's audio to what the listener was given before, so that nothing is
// heard twice, nothing is lost but what no connection carried, and the listener stays as
// far behind live as before.
//
// The model. A station puts its audio on the air in real time, and a listener receives it
// a steady distance behind. A reconnected server first sends a burst of the recent audio it
// holds, as fast as the link brings it, then the live audio as it comes. The join places
// the new connection's first frame on the stream's positions (44.1 kHz frames since the
// stream began) and resumes on the first frame not yet received, after silence for what no
// connection carried. It measures:
// - the live line: a received position less the loop clock in frames, at the moments that
//   came soonest (three others confirm it; it sinks a little, for a station whose clock is
//   slower than ours); and how fast it moves against our clock (LineDrift), measured over
//   the connections once their bursts came, so that a line measured before an outage is
//   moved to where the station's clock has taken it since. A connection whose burst never
//   came whole measured no live line: the one before it stands; where none came whole, the
//   bursts' line stands, below live by as much as the held frames are dated as still to come;
// - the burst: how far ahead of real time the connection's frames came, and when it came
//   whole (BurstArrival, which waits out pauses as long as the connection's round trip: a
//   far server's first pause comes before any other was seen); the station's bursts over
//   its connections (StationBursts), which bound how far back a burst may reach and how
//   much history is kept, and date a burst still arriving when the join is due as if it
//   had come as far as they did;
// - the network's lateness: how far below the live line a window as long as the held
//   frames have come at the live pace lies, since the line last rose (a burst before
//   then); a gap as late as such windows typically are, audio over what was received as
//   late as most, so that the timing errs toward losing a little, not hearing it twice.
// The audio places the join wherever it can: the held frames are matched against what was
// received (JoinMatch). The timing (the live line less the held frames' own line) chooses
// among look-alikes and places what the audio cannot (a gap, silence, too little overlap).
// The frames are held until the burst has come whole and been dated, the listener's
// buffer runs low (unless the timing puts a gap whose silence covers the dropout that
// holding brings), or the listener would wait past a second from the first byte; while
// the burst arrives, a place the audio alone finds without equal joins at once, once the
// burst reaches back to it over the outage.
//
// Runs on the stream's loop; the comparisons run wherever `Compare` sends them.
class RadioJoin {
public:
    static constexpr double frameRate = 44100;

    // What the join does to the stream's playback.
    class Playback {
    public:
        virtual ~Playback() = default;
        // Frames to be heard, in order.
        virtual void play(const float* left, const float* right, std::size_t frames) = 0;
        // Silence for a gap of `frames`, less what the listener heard as silence since its
        // audio ran out; returns how many frames it put in.
        virtual int64_t playGap(int64_t frames) = 0;
        // Drops what is buffered beyond the prebuffer.
        virtual void trimBacklog() = 0;
        virtual int64_t buffered() = 0;
        // Silence the listener heard since its audio last ran out.
        virtual int64_t silentSince() = 0;
        // The connection's audio resumes here: its first frame lies at `origin`.
        virtual void joined(int64_t origin) = 0;
        // Calls woken() at `at` on the loop clock, unless frames come first; none: never.
        virtual void wake(std::optional<double> at) = 0;
    };
    // Runs the comparisons and hands their result to `done` on the loop, with the loop clock then.
    using Done = std::function<void(const JoinMatch::Result&, double now)>;
    using Compare = std::function<void(std::shared_ptr<const JoinMatch::Inputs>, Done done)>;

    RadioJoin(Playback& playback, Compare compare);

    // A connection begins; an earlier one played, so its burst is joined.
    void connectionBegan(bool played);
    // The server answered; `roundTrip`: seconds, as far as the connection measured it (0: not).
    void answered(double roundTrip) { roundTrip_ = roundTrip; }
    void audioBegan(double now);
    // A connection's decoded frames, at `now` on the loop clock.
    void decoded(const float* left, const float* right, std::size_t frames, double now);
    void woken(double now);
    // The connection ended: frames still held are joined at once, on what was measured.
    void connectionEnded(double now);
    // The stream stops: frames held are dropped.
    void abandon();

    bool holding() const { return hold_ == Hold::probing; }
    bool comparing() const { return comparing_; }
    int64_t decodedThisConnection() const { return decodedThisConnection_; }
    // Seconds: the longest a step of a join took.
    double longestStep() const { return longestStep_; }

private:
    friend struct RadioJoinTesting;
    enum class Hold { direct, probing, skipping };

    // Audio received, as a mono mix: at least this much, and twice the longest burst any
    // connection of the station brought, so that a burst reaches back no further than it.
    static constexpr int64_t historyLeastFrames = 16 * 44100;
    // Frames that come after the burst came as the server had them: the longer they are
    // held, the more of them came soonest, and the better they place the burst (the held
    // line's shortfall is the timing's error). Held this much longer than the settle unless
    // the buffer runs low; a server that sends nothing more is joined burstLastSeconds after.
    static constexpr double burstDatingSeconds = 0.6;
    static constexpr double lowBufferSeconds = 0.2;
    static constexpr double burstLastSeconds = 0.9;
    // Nor held so long that the listener waits more than this from the connection's first
    // byte: the dating ends in time for the comparisons, as long as they have taken.
    static constexpr double streamingWithin = 1.0;
    static constexpr double liveLineSinking = 0.001;  // per second between its highest frames
    // The live line is the highest moment that three others confirm within this share of a
    // codec frame: a source now and then hands on a codec frame sooner than the rest.
    static constexpr double confirmingShare = 0.25;
    // Too few frames come while a burst is held for them to confirm one another: the highest
    // held moment dates it, unless it stands more than this share of a codec frame above the
    // others, as a frame handed on early does.
    static constexpr double earlyHeldShare = 0.375;
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

    void deliver(const float* left, const float* right, std::size_t frames, double now);
    void received(const float* left, const float* right, std::size_t frames, double now);
    void hold(const float* left, const float* right, std::size_t frames, double now);
    void considerJoin(double now, bool woken);
    // When the join is decided at the latest.
    double dueAt() const;
    // A burst that came whole when the join was due: when its last frames have had their time.
    double lastFramesBy() const;
    // Whether the timing puts a gap after the last frame received that stays longer than the
    // dropout holding the frames until `until` brings: its silence stands for the dropout.
    bool gapCoversHold(double now, double until);
    // Dates the held frames against the live line, as of `now`.
    void dateHeld(double now);
    // Joins where the audio placed the burst while it arrived, once the burst reaches back
    // there over the outage.
    void joinEarly(double now);
    // The comparisons run off the loop, unless `now`: the connection is ending.
    enum class Wait { matches, now };
    void decide(double now, Wait wait = Wait::matches);
    // `now`: when the comparisons began; `at`: when their result came.
    void decideMatched(std::optional<int64_t> predicted, double now, const JoinMatch::Result& matches, double at);
    void compare(std::shared_ptr<JoinMatch::Inputs> inputs, Done done);
    std::shared_ptr<JoinMatch::Inputs> inputs(int64_t reach, std::optional<int64_t> predicted) const;
    // How many held frames the comparisons read.
    std::size_t heldCompared(int64_t reach, std::optional<int64_t> predicted) const;
    enum class Unmatched { trimBacklog, append };
    // `origin`: the stream position of the first held frame; none: unmatched. `resume`:
    // where the join resumes the burst, if later than the origin; silence keeps the
    // listener as far behind live.
    void joinAt(std::optional<int64_t> origin, double now, Unmatched unmatched = Unmatched::trimBacklog,
                std::optional<int64_t> resume = std::nullopt);
    int64_t fillGap(int64_t origin);
    void growHistory();
    // The history, to be written.
    std::vector<float>& ownHistory();
    void followLiveLine(double now);
    // Moves the live line, and the moments it is measured on, by `frames`.
    void moveLiveLine(double frames);
    std::optional<int64_t> predictedOrigin() const;
    // Where a gap puts the burst: nothing can be heard twice, and erring either way moves
    // the listener, so as late as the held frames typically come.
    int64_t gapOrigin(int64_t predicted) const;
    int64_t reach() const;
    // From the last audio received to the connection's first audio bytes.
    double outageFrames() const;
    bool sentBurst() const;
    bool silentProbe() const;

    Playback& playback_;
    const Compare compare_;

    // By position modulo its size; shared with comparisons under way, so copied before it is
    // written while they hold it.
    std::shared_ptr<std::vector<float>> history_ = std::make_shared<std::vector<float>>(historyLeastFrames, 0.0f);
    int64_t end_ = 0;  // stream positions given to the playback, gap silence included
    StationBursts bursts_;
    double codecFrame_ = 0;  // the most frames one decoded codec frame gave

    Hold hold_ = Hold::direct;
    HeldFrames held_;
    BurstArrival arrival_;
    MomentLine heldMoments_;
    double heldLine_ = 0;    // the held frames' line, from the first of them
    double heldRaised_ = 0;  // what a burst still arriving is dated as having still to come
    // While the burst arrives, the audio is compared no sooner, nor with no further reach,
    // nor the same held frames again: where that placed the burst, without equal, is kept.
    double nextEarlyMatch_ = 0;
    int64_t earlyReach_ = 0;
    std::size_t earlyCompared_ = 0;
    std::optional<int64_t> earlyOrigin_;
    std::optional<double> holdUntil_;  // the gap's silence covers the dropout until then
    uint64_t generation_ = 0;          // of the hold; a comparison for an older one is dropped
    bool comparing_ = false;
    double comparingTook_ = 0;  // seconds, the longest
    double earlyTook_ = 0;      // seconds, the longest comparison while a burst arrived
    int64_t skipRemaining_ = 0;

    double liveLine_ = 0;
    bool liveLineKnown_ = false;
    MomentLine liveMoments_;
    double liveLineAt_ = 0;                               // loop clock when the live line was measured
    std::optional<std::pair<double, double>> wholeLine_;  // (line, loop clock) of the last connection that came whole
    // No connection came whole: the live line is that of bursts, which came as far ahead as this.
    std::optional<double> lineAhead_;
    LineDrift drift_;
    NetworkLateness lateness_;            // of the connection's moments since it was joined
    NetworkLateness::Late heldLateness_;  // frames, measured when the join is decided
    // The live line a join chosen by the timing alone kept to; the joins after it keep to it.
    std::optional<double> keptLine_;
    double keptLateness_ = 0;
    double keptAt_ = 0;
    bool placedByAudio_ = false;  // the last join was placed by a match, not by the timing

    int64_t decodedThisConnection_ = 0;
    int64_t seam_ = 0;                  // where the last joined connection's audio begins
    double lastAudioAt_ = 0;            // loop clock when frames were last decoded
    double outageFrom_ = 0;             // lastAudioAt_ when the connection being joined began
    std::optional<double> audioSince_;  // loop clock at the connection's first audio bytes
    double roundTrip_ = 0;              // the connection's, in seconds; 0: not measured
    double longestStep_ = 0;
};

}  // namespace norvo
