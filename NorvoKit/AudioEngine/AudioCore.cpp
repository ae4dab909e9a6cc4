#include "AudioEngine/AudioCore.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include "AudioEngine/TapeClock.hpp"
#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace norvo {

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
    CassetteTransport transport;
    std::shared_ptr<TapeMedia> media;
    DeckInput deckInput = DeckInput::sourcePlayer;
    float deckVolume = 1.0f;
    float recordGain = 1.0f;
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
};

AudioCore::AudioCore() : state_(std::make_unique<State>()) {}

AudioCore::~AudioCore() = default;

CoreSnapshot AudioCore::snapshot(bool resetPeaks) {
    std::unique_ptr<TapeSoundProcessor> retired;  // freed after unlocking
    std::lock_guard guard(lock);
    State& s = *state_;
    retired = std::move(s.retiredTapeSound);
    CoreSnapshot snapshot;
    // A cassette type's name ("C60", "custom") fits the string's own small buffer, so
    // this copy allocates nothing while the render may be waiting.
    snapshot.transport = s.transport;
    snapshot.sourceLoaded = source.stream != nullptr;
    snapshot.sourcePlaying = source.playing;
    if (source.stream) {
        snapshot.sourcePosition = source.stream->position();
        snapshot.sourceDuration = source.stream->duration();
    }
    snapshot.sourceEndCount = s.sourceEndCount;
    snapshot.autoPauseCount = s.autoPauseCount;
    snapshot.sourceLevel = s.sourcePeak;
    snapshot.deckLevel = s.deckPeak;
    snapshot.tunerLevel = s.tunerPeak;
    snapshot.tunerLocked = tuner.poweredOn && s.lockGain >= lockedThreshold;
    snapshot.deckInput = s.deckInput;
    snapshot.renderedFrames = s.renderedFrames;
    snapshot.underrunFrames = s.underrunFrames;
    snapshot.outputUnderflowCount = outputUnderflows_.load(std::memory_order_relaxed);
    snapshot.outputOverflowCount = outputOverflows_.load(std::memory_order_relaxed);
    snapshot.recordingPass = s.pass;
    if (resetPeaks) s.sourcePeak = s.deckPeak = s.tunerPeak = StereoLevel{};
    return snapshot;
}

void AudioCore::setDeckVolume(float volume) {
    std::lock_guard guard(lock);
    state_->deckVolume = volume;
}

void AudioCore::setRecordGain(float gain) {
    std::lock_guard guard(lock);
    state_->recordGain = gain;
}

void AudioCore::setTapeSound(const SoundProfile* profile) {
    // Built here, where allocating is fine; the render only swaps pointers' worth of work.
    std::unique_ptr<TapeSoundProcessor> processor;
    if (profile) processor = std::make_unique<TapeSoundProcessor>(*profile, TapeClock::sampleRate);
    std::unique_ptr<TapeSoundProcessor> retired, unheard;
    {
        std::lock_guard guard(lock);
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
    std::lock_guard guard(lock);
    state_->deckInput = input;
}

std::shared_ptr<TapeMedia> AudioCore::loadMedia(std::shared_ptr<TapeMedia> media,
                                                const CassetteTransport::Cassette& cassette, int64_t head) {
    std::shared_ptr<TapeMedia> previous;
    {
        std::lock_guard guard(lock);
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
        std::lock_guard guard(lock);
        previous = std::exchange(state_->media, nullptr);
        state_->transport.eject();
        state_->wasPlaying = false;
    }
    return previous;
}

bool AudioCore::transport(TransportCommand command) {
    std::lock_guard guard(lock);
    const bool accepted = state_->transport.handle(command);
    // Playback that stops between two buffers and starts again is not continuous: the
    // tape sound starts afresh rather than going on (or fading) from before.
    if (state_->transport.mode != TransportMode::playing) state_->wasPlaying = false;
    return accepted;
}

void AudioCore::setWriteProtected(bool isProtected, TapeSide side) {
    std::lock_guard guard(lock);
    state_->transport.setProtected(side, isProtected);
}

void AudioCore::setRecordingLocked(bool locked) {
    std::lock_guard guard(lock);
    state_->transport.recordingLocked = locked;
}

void AudioCore::render(int frames, float* left, float* right) {
    if (frames <= 0) return;
    [[maybe_unused]] DenormalGuard denormals;
    std::lock_guard guard(lock);
    for (int done = 0; done < frames;) {
        const int n = std::min(maximumChunk, frames - done);
        renderChunk(n, left + done, right + done);
        done += n;
    }
}

void AudioCore::noteOutputStatus(bool underflow, bool overflow) {
    if (underflow) outputUnderflows_.fetch_add(1, std::memory_order_relaxed);
    if (overflow) outputOverflows_.fetch_add(1, std::memory_order_relaxed);
}

// One chunk of at most maximumChunk frames, under the lock. Takes no other lock but the
// source stream's, the radio signal's and the tape media's, each for a short copy.
void AudioCore::renderChunk(int n, float* outLeft, float* outRight) {
    State& s = *state_;
    CassetteTransport& deck = s.transport;

    // Pull the player's stream. A shortfall is an underrun, unless the stream has ended.
    float* sourceLeft = s.source.left.data();
    float* sourceRight = s.source.right.data();
    int pulled = 0;
    if (source.stream && source.playing) {
        pulled = std::clamp(source.stream->pull(n, sourceLeft, sourceRight), 0, n);
        if (pulled < n) {
            if (source.stream->isDrained()) {
                ++s.sourceEndCount;
                source.playing = false;
            } else {
                s.underrunFrames += uint64_t(n - pulled);
            }
        }
    }
    silence(sourceLeft, sourceRight, pulled, n);

    // The tuner path: the signal under the lock gain, hiss between stations.
    float* tunerLeft = s.tunerPath.left.data();
    float* tunerRight = s.tunerPath.right.data();
    int delivered = 0;
    if (tuner.poweredOn) {
        if (tuner.signal) delivered = std::clamp(tuner.signal->render(n, tunerLeft, tunerRight), 0, n);
        silence(tunerLeft, tunerRight, delivered, n);
        const float noiseGain = tuner.muting ? 0.0f : interstationNoiseGain;
        float gain = s.lockGain;
        for (int i = 0; i < n; ++i) {
            gain = i < delivered ? std::min(1.0f, gain + lockStep) : std::max(0.0f, gain - lockStep);
            s.noiseLeft += noiseSmoothing * (s.nextNoise() - s.noiseLeft);
            s.noiseRight += noiseSmoothing * (s.nextNoise() - s.noiseRight);
            const float hiss = noiseGain * (1.0f - gain);
            tunerLeft[i] = tunerLeft[i] * gain + hiss * s.noiseLeft;
            tunerRight[i] = tunerRight[i] * gain + hiss * s.noiseRight;
        }
        s.lockGain = gain;
    } else {
        s.lockGain = 0.0f;
        silence(tunerLeft, tunerRight, 0, n);
    }

    // An armed deck starts recording with the first chunk in which its input is live.
    if (deck.mode == TransportMode::recordArmed && deck.cassette && s.media) {
        const bool live = s.deckInput == DeckInput::sourcePlayer
                              ? source.stream && pulled > 0
                              : tuner.poweredOn && tuner.signal && delivered > 0;
        if (live) {
            deck.mode = TransportMode::recording;
            s.pass = RecordingPass{++s.lastSerial, deck.cassette->side, deck.head, deck.head};
        }
    }

    // Crossfade towards the selected input: the monitor at the inputs' volumes goes to
    // the output, the line at the record gain goes to tape.
    float* lineLeft = s.line.left.data();
    float* lineRight = s.line.right.data();
    const float target = s.deckInput == DeckInput::tuner ? 1.0f : 0.0f;
    const float sourceVolume = source.volume;
    const float tunerGain = tunerVolume;
    const float recordGain = s.recordGain;
    float mix = s.crossfade;
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
        outLeft[i] = sl * sourceVolume + tl * tunerGain;
        outRight[i] = sr * sourceVolume + tr * tunerGain;
        lineLeft[i] = (sl + tl) * recordGain;
        lineRight[i] = (sr + tr) * recordGain;
    }
    s.crossfade = mix;

    // Tape: record the line, or play the side through the tape sound. The recording
    // itself is never coloured.
    float* tapeLeft = s.tape.left.data();
    float* tapeRight = s.tape.right.data();
    bool tapeSounds = false;
    const TransportMode mode = deck.mode;
    if (mode == TransportMode::recording && deck.cassette && s.media) {
        const TapeSide side = deck.cassette->side;
        const int64_t room = std::max<int64_t>(0, deck.sideEnd() - deck.head);
        const int64_t written = s.media->storage(side).write(deck.head, lineLeft, lineRight, std::min<int64_t>(n, room));
        if (written > 0) {
            s.media->noteWritten(side, deck.head + written);
            if (s.pass) s.pass->end = deck.head + written;
        }
    } else if (mode == TransportMode::playing && deck.cassette && s.media) {
        s.media->storage(deck.cassette->side).read(deck.head, tapeLeft, tapeRight, n);
        const bool fading = s.wasPlaying && (s.fadingTapeSound || s.fadingFromClean);
        float* fadeLeft = s.fade.left.data();
        float* fadeRight = s.fade.right.data();
        if (fading) {
            // The replaced sound goes on over this chunk from where it was, so that the
            // new one's empty delay lines are not heard as a gap.
            std::copy_n(tapeLeft, n, fadeLeft);
            std::copy_n(tapeRight, n, fadeRight);
            if (s.fadingTapeSound) s.fadingTapeSound->process(fadeLeft, fadeRight, n);
        }
        if (s.tapeSound) {
            if (!s.wasPlaying) s.tapeSound->reset();
            s.tapeSound->process(tapeLeft, tapeRight, n);
        }
        if (fading) {
            const float step = 1.0f / float(n);
            for (int i = 0; i < n; ++i) {
                const float in = float(i + 1) * step;
                tapeLeft[i] = fadeLeft[i] + (tapeLeft[i] - fadeLeft[i]) * in;
                tapeRight[i] = fadeRight[i] + (tapeRight[i] - fadeRight[i]) * in;
            }
        }
        tapeSounds = true;
    }
    // Faded, or nothing was playing to fade from: the replaced sound is done with.
    if (s.fadingTapeSound || s.fadingFromClean) {
        s.retiredTapeSound = std::move(s.fadingTapeSound);
        s.fadingFromClean = false;
    }
    s.wasPlaying = mode == TransportMode::playing;

    // Meters, held until a snapshot resets them.
    holdPeak(s.sourcePeak, sourceLeft, sourceRight, n);
    if (tuner.poweredOn) holdPeak(s.tunerPeak, tunerLeft, tunerRight, n);
    if (isRecordingOrArmed(mode))
        holdPeak(s.deckPeak, lineLeft, lineRight, n);
    else if (tapeSounds)
        holdPeak(s.deckPeak, tapeLeft, tapeRight, n);

    // The transport moves; a side that ends under a recording from the player pauses it.
    deck.advance(n);
    // The workspace's follower keeps the pages ahead of the head resident.
    if (s.media && deck.cassette) s.media->followHead(deck.cassette->side, deck.head, deck.mode);
    if (mode == TransportMode::recording && deck.mode == TransportMode::stopped &&
        s.deckInput == DeckInput::sourcePlayer && source.playing) {
        source.playing = false;
        ++s.autoPauseCount;
    }

    const float deckVolume = s.deckVolume;
    for (int i = 0; i < n; ++i) {
        const float l = tapeSounds ? outLeft[i] + tapeLeft[i] * deckVolume : outLeft[i];
        const float r = tapeSounds ? outRight[i] + tapeRight[i] * deckVolume : outRight[i];
        // A NaN from a damaged input must not reach the device: std::clamp would pass it.
        outLeft[i] = l == l ? std::clamp(l, -1.0f, 1.0f) : 0.0f;
        outRight[i] = r == r ? std::clamp(r, -1.0f, 1.0f) : 0.0f;
    }
    s.renderedFrames += uint64_t(n);
}

}  // namespace norvo
