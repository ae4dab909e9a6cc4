#include "AudioEngine/AudioCore.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <utility>

#include "AudioEngine/TapeClock.hpp"
#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace norvo {

// The real-time rules of the core. The render is the output's callback on the audio
// thread; it must finish within its buffer's time, whatever the main thread does.
//
// What the render takes: the core's lock, for a whole callback, so that a callback sees
// every input whole. Inside it only the source stream's, the radio signal's and the tape
// media's own locks, each for a short copy. Every other holder of the core's lock is an
// operation of this file: it stores or copies a few values and leaves, and it never
// allocates, frees or does I/O while holding it (what it must build, it builds before
// taking the lock; what it takes out, it frees after letting go).
//
// What the render never does: allocate or free (its scratch buffers are allocated with
// the core), do I/O or log, or wait for anything but those locks. The side files are
// memory-mapped and the workspace's follower makes their pages ready ahead of the head,
// so reading and writing the tape takes no page fault.
//
// What goes under the lock and what does not: whatever decides what the render does
// (the source stream and whether it plays, the tuner's signal and power, the transport,
// the media, the tape sound, the deck input) changes under the lock, one hold per call.
// The gains and the muting switch are read once per chunk and order nothing else, so
// they are relaxed atomics: a change is heard from the next chunk, and turning a knob
// never waits for a callback to end.
//
// What leaves through the main thread: the render owns nothing it has to free. Streams
// and signals belong to their engines; a replaced stream, signal or media is returned to
// the caller, which stops and frees it after the call; a replaced tape-sound processor is
// parked by the render and freed by the main thread's next setTapeSound or snapshot.

namespace {

// The input crossfade: 25 ms, equal power.
constexpr float crossfadeStep = float(1.0 / (0.025 * TapeClock::sampleRate));
// The tuner's lock gain moves between 0 and 1 in about 100 ms.
constexpr float lockStep = float(1.0 / (0.1 * TapeClock::sampleRate));
constexpr float interstationNoiseGain = 0.16f;
constexpr float lockedThreshold = 0.5f;
// One-pole low-pass coefficient for the interstation hiss (about 6 kHz).
const float noiseSmoothing = float(1.0 - std::exp(-2.0 * std::numbers::pi * 6000.0 / TapeClock::sampleRate));

// Flushes denormals to zero for the length of a render: filters decaying into denormal
// range would otherwise cost many times their normal time on the audio thread.
class DenormalGuard {
public:
#if defined(__x86_64__) || defined(__i386__)
    DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040); }
    ~DenormalGuard() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
#endif
};

void silence(float* left, float* right, int from, int to) {
    if (from >= to) return;
    std::fill(left + from, left + to, 0.0f);
    std::fill(right + from, right + to, 0.0f);
}

void holdPeak(StereoLevel& level, const float* left, const float* right, int frames) {
    float l = level.left, r = level.right;
    for (int i = 0; i < frames; ++i) {
        l = std::max(l, std::fabs(left[i]));
        r = std::max(r, std::fabs(right[i]));
    }
    level = {l, r};
}

}  // namespace

struct AudioCore::State {
    // The inputs that decide what the render pulls: guarded by the lock.
    SourceStream* sourceStream = nullptr;  // owned by the source player
    bool sourcePlaying = false;
    RadioSignal* tunerSignal = nullptr;  // owned by the tuner engine
    bool tunerPoweredOn = false;
    DeckInput deckInput = DeckInput::sourcePlayer;

    // Gains and a switch, read once per chunk and ordering nothing else: relaxed atomics,
    // written without the lock, so that turning a knob never waits for a callback.
    std::atomic<float> sourceVolume{0.8f};
    std::atomic<float> tunerVolume{0.8f};
    std::atomic<bool> tunerMuting{false};
    std::atomic<float> deckVolume{1.0f};
    std::atomic<float> recordGain{1.0f};
    static_assert(std::atomic<float>::is_always_lock_free);

    // The deck and the render's own state, guarded by the lock.
    CassetteTransport transport;
    std::shared_ptr<TapeMedia> media;
    std::unique_ptr<TapeSoundProcessor> tapeSound;
    // A replaced processor: playback crossfades from it over the next chunk, then the
    // render parks it in `retiredTapeSound` for the main thread to free. Whenever the
    // main thread sets `fadingTapeSound` it has emptied `retiredTapeSound`, so the render
    // never frees one.
    std::unique_ptr<TapeSoundProcessor> fadingTapeSound;
    bool fadingFromClean = false;  // the replaced sound was clean: fade from the dry tape
    std::unique_ptr<TapeSoundProcessor> retiredTapeSound;
    bool wasPlaying = false;

    float crossfade = 0.0f;  // 0: the source player alone, 1: the tuner alone
    float lockGain = 0.0f;
    uint32_t noiseSeed = 0x9e3779b9u;
    float noiseLeft = 0.0f, noiseRight = 0.0f;

    StereoLevel sourcePeak, tunerPeak, deckPeak;
    uint64_t renderedFrames = 0;
    uint64_t underrunFrames = 0;
    uint64_t sourceEndCount = 0;
    uint64_t autoPauseCount = 0;
    std::optional<RecordingPass> pass;
    int lastSerial = 0;

    // Allocated here, once, so the render never allocates.
    StereoScratch source{maximumChunk};
    StereoScratch tunerPath{maximumChunk};
    StereoScratch line{maximumChunk};
    StereoScratch tape{maximumChunk};
    StereoScratch fade{maximumChunk};

    float nextNoise() {
        // xorshift32: cheap, allocation-free, and good enough for hiss.
        noiseSeed ^= noiseSeed << 13;
        noiseSeed ^= noiseSeed >> 17;
        noiseSeed ^= noiseSeed << 5;
        return float(int32_t(noiseSeed)) * (1.0f / 2147483648.0f);
    }

    // The render: one chunk of at most maximumChunk frames, under the lock, run as these
    // stages in this order.
    void renderChunk(int frames, float* outLeft, float* outRight);
    int pullSource(int frames);
    int pullTuner(int frames);
    void armOnLiveInput(int pulled, int delivered);
    void crossfadeInputs(int frames, float* outLeft, float* outRight);
    bool runTape(int frames, TransportMode mode);
    void recordLine(int frames);
    void playTape(int frames);
    void meter(int frames, TransportMode mode, bool tapeSounds);
    void advanceTransport(int frames, TransportMode mode);
    void mixTape(int frames, float* outLeft, float* outRight, bool tapeSounds);
};

AudioCore::AudioCore() : state_(std::make_unique<State>()) {}

AudioCore::~AudioCore() = default;

// MARK: - The source player's and the tuner engine's inputs

SourceStream* AudioCore::installSourceStream(SourceStream* stream, SourceState state) {
    std::lock_guard guard(lock_);
    state_->sourcePlaying = state == SourceState::playing;
    return std::exchange(state_->sourceStream, stream);
}

void AudioCore::setSourcePlaying(bool playing) {
    std::lock_guard guard(lock_);
    state_->sourcePlaying = playing;
}

void AudioCore::setSourceVolume(float volume) { state_->sourceVolume.store(volume, std::memory_order_relaxed); }

RadioSignal* AudioCore::setTunerSignal(RadioSignal* signal) {
    std::lock_guard guard(lock_);
    return std::exchange(state_->tunerSignal, signal);
}

void AudioCore::setTunerPoweredOn(bool poweredOn) {
    std::lock_guard guard(lock_);
    state_->tunerPoweredOn = poweredOn;
}

void AudioCore::setTunerMuting(bool muting) { state_->tunerMuting.store(muting, std::memory_order_relaxed); }

void AudioCore::setTunerVolume(float volume) { state_->tunerVolume.store(volume, std::memory_order_relaxed); }

AudioCore::Inputs AudioCore::inputs() const {
    std::lock_guard guard(lock_);
    const State& s = *state_;
    return {.sourceStream = s.sourceStream,
            .sourcePlaying = s.sourcePlaying,
            .sourceVolume = s.sourceVolume.load(std::memory_order_relaxed),
            .tunerSignal = s.tunerSignal,
            .tunerPoweredOn = s.tunerPoweredOn,
            .tunerMuting = s.tunerMuting.load(std::memory_order_relaxed),
            .tunerVolume = s.tunerVolume.load(std::memory_order_relaxed)};
}

// MARK: - The studio model's operations

CoreSnapshot AudioCore::snapshot(Peaks peaks) {
    std::unique_ptr<TapeSoundProcessor> retired;  // freed after unlocking
    std::lock_guard guard(lock_);
    State& s = *state_;
    retired = std::move(s.retiredTapeSound);
    CoreSnapshot snapshot;
    // A cassette type's name ("C60", "custom") fits the string's own small buffer, so
    // this copy allocates nothing while the render may be waiting.
    snapshot.transport = s.transport;
    snapshot.sourceLoaded = s.sourceStream != nullptr;
    snapshot.sourcePlaying = s.sourcePlaying;
    if (s.sourceStream) {
        snapshot.sourcePosition = s.sourceStream->position();
        snapshot.sourceDuration = s.sourceStream->duration();
    }
    snapshot.sourceEndCount = s.sourceEndCount;
    snapshot.autoPauseCount = s.autoPauseCount;
    snapshot.sourceLevel = s.sourcePeak;
    snapshot.deckLevel = s.deckPeak;
    snapshot.tunerLevel = s.tunerPeak;
    snapshot.tunerLocked = s.tunerPoweredOn && s.lockGain >= lockedThreshold;
    snapshot.deckInput = s.deckInput;
    snapshot.renderedFrames = s.renderedFrames;
    snapshot.underrunFrames = s.underrunFrames;
    snapshot.outputUnderflowCount = outputUnderflows_.load(std::memory_order_relaxed);
    snapshot.outputOverflowCount = outputOverflows_.load(std::memory_order_relaxed);
    snapshot.recordingPass = s.pass;
    if (peaks == Peaks::reset) s.sourcePeak = s.deckPeak = s.tunerPeak = StereoLevel{};
    return snapshot;
}

void AudioCore::setDeckVolume(float volume) { state_->deckVolume.store(volume, std::memory_order_relaxed); }

void AudioCore::setRecordGain(float gain) { state_->recordGain.store(gain, std::memory_order_relaxed); }

void AudioCore::setTapeSound(const SoundProfile* profile) {
    // Built here, where allocating is fine; the render only swaps pointers' worth of work.
    std::unique_ptr<TapeSoundProcessor> processor;
    if (profile) processor = std::make_unique<TapeSoundProcessor>(*profile, TapeClock::sampleRate);
    std::unique_ptr<TapeSoundProcessor> retired, unheard;
    {
        std::lock_guard guard(lock_);
        State& s = *state_;
        retired = std::move(s.retiredTapeSound);
        if (s.fadingTapeSound || s.fadingFromClean) {
            // The render has not faded yet: it fades from what it last played, and the
            // processor installed since was never heard.
            unheard = std::exchange(s.tapeSound, std::move(processor));
        } else {
            s.fadingFromClean = !s.tapeSound;
            s.fadingTapeSound = std::exchange(s.tapeSound, std::move(processor));
        }
    }
    // Whatever is freed, is freed here, on the caller's thread, after unlocking.
}

void AudioCore::setDeckInput(DeckInput input) {
    std::lock_guard guard(lock_);
    state_->deckInput = input;
}

std::shared_ptr<TapeMedia> AudioCore::loadMedia(std::shared_ptr<TapeMedia> media,
                                                const CassetteTransport::Cassette& cassette, int64_t head) {
    std::shared_ptr<TapeMedia> previous;
    {
        std::lock_guard guard(lock_);
        previous = std::exchange(state_->media, std::move(media));
        state_->transport.load(cassette, head);
        state_->wasPlaying = false;
        if (state_->media && state_->transport.cassette)
            state_->media->followHead(state_->transport.cassette->side, state_->transport.head, TransportMode::stopped);
    }
    return previous;
}

std::shared_ptr<TapeMedia> AudioCore::ejectMedia() {
    std::shared_ptr<TapeMedia> previous;
    {
        std::lock_guard guard(lock_);
        previous = std::exchange(state_->media, nullptr);
        state_->transport.eject();
        state_->wasPlaying = false;
    }
    return previous;
}

bool AudioCore::transport(TransportCommand command) {
    std::lock_guard guard(lock_);
    const bool accepted = state_->transport.handle(command);
    // Playback that stops between two buffers and starts again is not continuous: the
    // tape sound starts afresh rather than going on (or fading) from before.
    if (state_->transport.mode != TransportMode::playing) state_->wasPlaying = false;
    return accepted;
}

void AudioCore::setWriteProtected(bool isProtected, TapeSide side) {
    std::lock_guard guard(lock_);
    state_->transport.setProtected(side, isProtected);
}

void AudioCore::setRecordingLocked(bool locked) {
    std::lock_guard guard(lock_);
    state_->transport.recordingLocked = locked;
}

// MARK: - The render

void AudioCore::render(int frames, float* left, float* right) {
    if (frames <= 0) return;
    [[maybe_unused]] DenormalGuard denormals;
    std::lock_guard guard(lock_);
    for (int done = 0; done < frames;) {
        const int n = std::min(maximumChunk, frames - done);
        state_->renderChunk(n, left + done, right + done);
        done += n;
    }
}

void AudioCore::noteOutputStatus(OutputStatus status) {
    if (status.underflow) outputUnderflows_.fetch_add(1, std::memory_order_relaxed);
    if (status.overflow) outputOverflows_.fetch_add(1, std::memory_order_relaxed);
}

// One chunk of at most maximumChunk frames, under the lock. The inputs are pulled into
// the scratch buffers, mixed into the output and the line, the tape records or plays,
// and what the tape plays is added last.
void AudioCore::State::renderChunk(int n, float* outLeft, float* outRight) {
    const int pulled = pullSource(n);
    const int delivered = pullTuner(n);
    armOnLiveInput(pulled, delivered);
    crossfadeInputs(n, outLeft, outRight);
    const TransportMode mode = transport.mode;
    const bool tapeSounds = runTape(n, mode);
    meter(n, mode, tapeSounds);
    advanceTransport(n, mode);
    mixTape(n, outLeft, outRight, tapeSounds);
    renderedFrames += uint64_t(n);
}

// Pulls the player's stream. A shortfall is an underrun, unless the stream has ended.
int AudioCore::State::pullSource(int n) {
    float* left = source.left.data();
    float* right = source.right.data();
    int pulled = 0;
    if (sourceStream && sourcePlaying) {
        pulled = std::clamp(sourceStream->pull(n, left, right), 0, n);
        if (pulled < n) {
            if (sourceStream->isDrained()) {
                ++sourceEndCount;
                sourcePlaying = false;
            } else {
                underrunFrames += uint64_t(n - pulled);
            }
        }
    }
    silence(left, right, pulled, n);
    return pulled;
}

// The tuner path: the signal under the lock gain, hiss between stations.
int AudioCore::State::pullTuner(int n) {
    float* left = tunerPath.left.data();
    float* right = tunerPath.right.data();
    if (!tunerPoweredOn) {
        lockGain = 0.0f;
        silence(left, right, 0, n);
        return 0;
    }
    int delivered = 0;
    if (tunerSignal) delivered = std::clamp(tunerSignal->render(n, left, right), 0, n);
    silence(left, right, delivered, n);
    const float noiseGain = tunerMuting.load(std::memory_order_relaxed) ? 0.0f : interstationNoiseGain;
    float gain = lockGain;
    for (int i = 0; i < n; ++i) {
        gain = i < delivered ? std::min(1.0f, gain + lockStep) : std::max(0.0f, gain - lockStep);
        noiseLeft += noiseSmoothing * (nextNoise() - noiseLeft);
        noiseRight += noiseSmoothing * (nextNoise() - noiseRight);
        const float hiss = noiseGain * (1.0f - gain);
        left[i] = left[i] * gain + hiss * noiseLeft;
        right[i] = right[i] * gain + hiss * noiseRight;
    }
    lockGain = gain;
    return delivered;
}

// An armed deck starts recording with the first chunk in which its input is live.
void AudioCore::State::armOnLiveInput(int pulled, int delivered) {
    CassetteTransport& deck = transport;
    if (deck.mode != TransportMode::recordArmed || !deck.cassette || !media) return;
    const bool live = deckInput == DeckInput::sourcePlayer ? sourceStream && pulled > 0
                                                           : tunerPoweredOn && tunerSignal && delivered > 0;
    if (live) {
        deck.mode = TransportMode::recording;
        pass = RecordingPass{++lastSerial, deck.cassette->side, deck.head, deck.head};
    }
}

// Crossfades towards the selected input: the monitor at the inputs' volumes goes to the
// output, the line at the record gain goes to tape.
void AudioCore::State::crossfadeInputs(int n, float* outLeft, float* outRight) {
    const float* sourceLeft = source.left.data();
    const float* sourceRight = source.right.data();
    const float* tunerLeft = tunerPath.left.data();
    const float* tunerRight = tunerPath.right.data();
    float* lineLeft = line.left.data();
    float* lineRight = line.right.data();
    const float target = deckInput == DeckInput::tuner ? 1.0f : 0.0f;
    const float sourceGain = sourceVolume.load(std::memory_order_relaxed);
    const float tunerGain = tunerVolume.load(std::memory_order_relaxed);
    const float lineGain = recordGain.load(std::memory_order_relaxed);
    float mix = crossfade;
    float sourceFade = std::cos(mix * std::numbers::pi_v<float> / 2);
    float tunerFade = std::sin(mix * std::numbers::pi_v<float> / 2);
    for (int i = 0; i < n; ++i) {
        if (mix != target) {
            mix = target > mix ? std::min(target, mix + crossfadeStep) : std::max(target, mix - crossfadeStep);
            sourceFade = mix <= 0.0f ? 1.0f : mix >= 1.0f ? 0.0f : std::cos(mix * std::numbers::pi_v<float> / 2);
            tunerFade = mix <= 0.0f ? 0.0f : mix >= 1.0f ? 1.0f : std::sin(mix * std::numbers::pi_v<float> / 2);
        }
        const float sl = sourceLeft[i] * sourceFade, sr = sourceRight[i] * sourceFade;
        const float tl = tunerLeft[i] * tunerFade, tr = tunerRight[i] * tunerFade;
        outLeft[i] = sl * sourceGain + tl * tunerGain;
        outRight[i] = sr * sourceGain + tr * tunerGain;
        lineLeft[i] = (sl + tl) * lineGain;
        lineRight[i] = (sr + tr) * lineGain;
    }
    crossfade = mix;
}

// Tape: records the line, or plays the side through the tape sound; true when the tape
// sounds in this chunk. The recording itself is never coloured.
bool AudioCore::State::runTape(int n, TransportMode mode) {
    const bool onTape = transport.cassette && media;
    bool tapeSounds = false;
    if (mode == TransportMode::recording && onTape) {
        recordLine(n);
    } else if (mode == TransportMode::playing && onTape) {
        playTape(n);
        tapeSounds = true;
    }
    // Faded, or nothing was playing to fade from: the replaced sound is done with.
    if (fadingTapeSound || fadingFromClean) {
        retiredTapeSound = std::move(fadingTapeSound);
        fadingFromClean = false;
    }
    wasPlaying = mode == TransportMode::playing;
    return tapeSounds;
}

// Writes the line at the head, up to the end of the side.
void AudioCore::State::recordLine(int n) {
    const CassetteTransport& deck = transport;
    const TapeSide side = deck.cassette->side;
    const int64_t room = std::max<int64_t>(0, deck.sideEnd() - deck.head);
    const int64_t written =
        media->storage(side).write(deck.head, line.left.data(), line.right.data(), std::min<int64_t>(n, room));
    if (written > 0) {
        media->noteWritten(side, deck.head + written);
        if (pass) pass->end = deck.head + written;
    }
}

// Reads the side at the head through the tape sound, crossfading from a replaced one.
void AudioCore::State::playTape(int n) {
    const CassetteTransport& deck = transport;
    float* tapeLeft = tape.left.data();
    float* tapeRight = tape.right.data();
    media->storage(deck.cassette->side).read(deck.head, tapeLeft, tapeRight, n);
    const bool fading = wasPlaying && (fadingTapeSound || fadingFromClean);
    float* fadeLeft = fade.left.data();
    float* fadeRight = fade.right.data();
    if (fading) {
        // The replaced sound goes on over this chunk from where it was, so that the
        // new one's empty delay lines are not heard as a gap.
        std::copy_n(tapeLeft, n, fadeLeft);
        std::copy_n(tapeRight, n, fadeRight);
        if (fadingTapeSound) fadingTapeSound->process(fadeLeft, fadeRight, n);
    }
    if (tapeSound) {
        if (!wasPlaying) tapeSound->reset();
        tapeSound->process(tapeLeft, tapeRight, n);
    }
    if (fading) {
        const float step = 1.0f / float(n);
        for (int i = 0; i < n; ++i) {
            const float in = float(i + 1) * step;
            tapeLeft[i] = fadeLeft[i] + (tapeLeft[i] - fadeLeft[i]) * in;
            tapeRight[i] = fadeRight[i] + (tapeRight[i] - fadeRight[i]) * in;
        }
    }
}

// Meters, held until a snapshot resets them.
void AudioCore::State::meter(int n, TransportMode mode, bool tapeSounds) {
    holdPeak(sourcePeak, source.left.data(), source.right.data(), n);
    if (tunerPoweredOn) holdPeak(tunerPeak, tunerPath.left.data(), tunerPath.right.data(), n);
    if (isRecordingOrArmed(mode)) holdPeak(deckPeak, line.left.data(), line.right.data(), n);
    else if (tapeSounds) holdPeak(deckPeak, tape.left.data(), tape.right.data(), n);
}

// The transport moves; a side that ends under a recording from the player pauses it.
void AudioCore::State::advanceTransport(int n, TransportMode mode) {
    CassetteTransport& deck = transport;
    deck.advance(n);
    // The workspace's follower keeps the pages ahead of the head resident.
    if (media && deck.cassette) media->followHead(deck.cassette->side, deck.head, deck.mode);
    if (mode == TransportMode::recording && deck.mode == TransportMode::stopped &&
        deckInput == DeckInput::sourcePlayer && sourcePlaying) {
        sourcePlaying = false;
        ++autoPauseCount;
    }
}

// Adds the tape at the deck volume and clamps what reaches the device.
void AudioCore::State::mixTape(int n, float* outLeft, float* outRight, bool tapeSounds) {
    const float* tapeLeft = tape.left.data();
    const float* tapeRight = tape.right.data();
    const float deckGain = deckVolume.load(std::memory_order_relaxed);
    for (int i = 0; i < n; ++i) {
        const float l = tapeSounds ? outLeft[i] + tapeLeft[i] * deckGain : outLeft[i];
        const float r = tapeSounds ? outRight[i] + tapeRight[i] * deckGain : outRight[i];
        // A NaN from a damaged input must not reach the device: std::clamp would pass it.
        outLeft[i] = l == l ? std::clamp(l, -1.0f, 1.0f) : 0.0f;
        outRight[i] = r == r ? std::clamp(r, -1.0f, 1.0f) : 0.0f;
    }
}

}  // namespace norvo
