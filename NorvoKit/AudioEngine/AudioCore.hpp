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
// recording to and playing from tape, meters and the deck mix. Its state is guarded by
// `lock`, which the render holds for a whole callback; every operation takes it briefly.
class AudioCore final : public AudioRenderer {
public:
    // The tuner path, written by the tuner engine under `lock`.
    struct TunerSection {
        RadioSignal* signal = nullptr;  // owned by the tuner engine
        bool poweredOn = false;
        bool muting = false;
    };

    // The source inputs, written by the source player under `lock`.
    struct SourceSection {
        SourceStream* stream = nullptr;  // owned by the source player
        bool playing = false;
        float volume = 0.8f;
    };

    static constexpr int maximumChunk = 4096;

    AudioCore();
    ~AudioCore();
    AudioCore(const AudioCore&) = delete;
    AudioCore& operator=(const AudioCore&) = delete;

    UnfairLock lock;
    TunerSection tuner;        // guarded by lock
    float tunerVolume = 0.8f;  // guarded by lock
    SourceSection source;      // guarded by lock

    // Also frees, after unlocking, a tape-sound processor the render has finished with.
    CoreSnapshot snapshot(bool resetPeaks);
    void setDeckVolume(float volume);
    void setRecordGain(float gain);
    // Derives the processor outside the lock and installs it under it; playback
    // crossfades from the previous sound over the next chunk. The previous processor is
    // freed on the calling (main) thread by a later setTapeSound or snapshot call, never
    // by the render. Nothing means clean.
    void setTapeSound(const SoundProfile* profile);
    void setDeckInput(DeckInput input);
    // Returns the previously installed media; the caller releases it off the audio thread.
    std::shared_ptr<TapeMedia> loadMedia(std::shared_ptr<TapeMedia> media,
                                         const CassetteTransport::Cassette& cassette, int64_t head);
    std::shared_ptr<TapeMedia> ejectMedia();
    bool transport(TransportCommand command);
    void setWriteProtected(bool isProtected, TapeSide side);
    void setRecordingLocked(bool locked);

    // The render callback: takes the lock and renders in chunks of at most 4096 frames.
    void render(int frames, float* left, float* right) override;
    // The output calls it from its callback when the device reports a glitch; counted
    // without the lock and published in the snapshot.
    void noteOutputStatus(bool underflow, bool overflow) override;

private:
    struct State;
    void renderChunk(int frames, float* left, float* right);

    std::unique_ptr<State> state_;
    std::atomic<uint64_t> outputUnderflows_{0};
    std::atomic<uint64_t> outputOverflows_{0};
};

}  // namespace norvo
