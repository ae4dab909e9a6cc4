#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/CassetteTransport.hpp"
#include "AudioEngine/CoreSnapshot.hpp"
#include "AudioEngine/DeckInput.hpp"
#include "AudioEngine/RadioSignal.hpp"
#include "AudioEngine/SourceStream.hpp"
#include "AudioEngine/StereoScratch.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "AudioEngine/UnfairLock.hpp"

namespace norvo {

class SoundProfile;
class TapeSoundProcessor;

// Renders every output buffer: source and tuner inputs, the crossfade between them,
// recording to and playing from tape, meters and the deck mix. Every input arrives
// through a call below; the rules that keep the render real-time safe are written at
// the top of AudioCore.cpp.
class AudioCore final : public AudioRenderer {
public:
    static constexpr int maximumChunk = 4096;

    // What the render currently reads of the source player and the tuner engine.
    struct Inputs {
        SourceStream* sourceStream = nullptr;
        bool sourcePlaying = false;
        float sourceVolume = 0.8f;
        RadioSignal* tunerSignal = nullptr;
        bool tunerPoweredOn = false;
        bool tunerMuting = false;
        float tunerVolume = 0.8f;
    };

    // Whether a snapshot clears the meters' peaks once it has read them.
    enum class Peaks { keep, reset };
    // Whether the render pulls the installed source stream.
    enum class SourceState { stopped, playing };

    AudioCore();
    ~AudioCore();
    AudioCore(const AudioCore&) = delete;
    AudioCore& operator=(const AudioCore&) = delete;

    // The source player's inputs. The stream stays owned by the player.
    // Installs the stream the render pulls (none: nothing to pull) and whether it plays,
    // in one hold of the lock, so a render sees the old pair or the new one. Returns the
    // stream it replaced: the render no longer touches it once this returns, and the
    // caller stops and frees it off the audio thread.
    SourceStream* installSourceStream(SourceStream* stream, SourceState state);
    // The render also clears it, when the stream ends or a recording from it runs out of tape.
    void setSourcePlaying(bool playing);
    void setSourceVolume(float volume);

    // The tuner engine's inputs. The signal stays owned by the engine.
    // Returns the signal it replaced: the render no longer pulls it once this returns.
    RadioSignal* setTunerSignal(RadioSignal* signal);
    void setTunerPoweredOn(bool poweredOn);
    // While set, the tuner path adds no hiss between stations.
    void setTunerMuting(bool muting);
    // Passed through unclamped.
    void setTunerVolume(float volume);

    // A copy taken under the lock: what the render would pull now.
    Inputs inputs() const;
    // For assertions and tests: whether the calling thread holds the core's lock, where
    // stopping or freeing a stream would stall the render.
    bool isLockedByCurrentThread() const { return lock_.isHeldByCurrentThread(); }

    // Also frees, after unlocking, a tape-sound processor the render has finished with.
    CoreSnapshot snapshot(Peaks peaks);
    void setDeckVolume(float volume);
    void setRecordGain(float gain);
    // Derives the processor outside the lock and installs it under it; playback
    // crossfades from the previous sound over the next chunk. The previous processor is
    // freed on the calling (main) thread by a later setTapeSound or snapshot call, never
    // by the render. Nothing means clean.
    void setTapeSound(const SoundProfile* profile);
    void setDeckInput(DeckInput input);
    // Returns the previously installed media; the caller releases it off the audio thread.
    std::shared_ptr<TapeMedia> loadMedia(std::shared_ptr<TapeMedia> media, const CassetteTransport::Cassette& cassette,
                                         int64_t head);
    std::shared_ptr<TapeMedia> ejectMedia();
    bool transport(TransportCommand command);
    void setWriteProtected(bool isProtected, TapeSide side);
    void setRecordingLocked(bool locked);

    // The render callback: takes the lock and renders in chunks of at most 4096 frames.
    void render(int frames, float* left, float* right) override;
    // The output calls it from its callback when the device reports a glitch; counted
    // without the lock and published in the snapshot.
    void noteOutputStatus(OutputStatus status) override;

private:
    // Everything the render reads and writes, with the render's stages.
    struct State;

    // Held by the render for a whole callback and by every operation that changes what
    // the render reads, never while allocating, freeing or doing I/O.
    mutable UnfairLock lock_;
    std::unique_ptr<State> state_;
    std::atomic<uint64_t> outputUnderflows_{0};
    std::atomic<uint64_t> outputOverflows_{0};
};

}  // namespace norvo
