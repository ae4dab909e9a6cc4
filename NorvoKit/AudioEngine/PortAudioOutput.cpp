#include "AudioEngine/PortAudioOutput.hpp"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "AudioEngine/AudioRenderer.hpp"
#include "AudioEngine/RealTimeThread.hpp"
#include "AudioEngine/TapeClock.hpp"

namespace norvo {

namespace {

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// PortAudio probes every host API when it starts; ALSA plugins and JACK report each
// failed probe on stderr. None of that is for the user, so stderr is parked on
// /dev/null for the duration of a call.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

void initializePortAudio() {
    snd_lib_error_set_handler(&ignoreAlsaError);
    // Without this, the JACK host API tries to launch a JACK server of its own.
    setenv("JACK_NO_START_SERVER", "1", 0);
    QuietStderr quiet;
    const PaError status = Pa_Initialize();
    if (status != paNoError)
        throw std::runtime_error(std::string("The audio system could not be started (") + Pa_GetErrorText(status) +
                                 ").");
}

void terminatePortAudio() {
    QuietStderr quiet;
    Pa_Terminate();
}

// The default output first, then every other device that can play stereo.
std::vector<PaDeviceIndex> candidateDevices() {
    std::vector<PaDeviceIndex> devices;
    const PaDeviceIndex preferred = Pa_GetDefaultOutputDevice();
    if (preferred != paNoDevice) devices.push_back(preferred);
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (i != preferred && info && info->maxOutputChannels >= 2) devices.push_back(i);
    }
    return devices;
}

}  // namespace

PortAudioOutput::PortAudioOutput(AudioRenderer& renderer) : renderer_(renderer) {}

PortAudioOutput::~PortAudioOutput() { stop(); }

bool PortAudioOutput::isRunning() const {
    std::lock_guard guard(control_);
    return running_ && !streamEnded_.load(std::memory_order_acquire);
}

int PortAudioOutput::callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                              unsigned long statusFlags, void* user) {
    auto* self = static_cast<PortAudioOutput*>(user);
    if (!self->threadPrepared_) {
        self->threadPrepared_ = true;
        prepareRealTimeThread();
    }
    if (statusFlags & (paOutputUnderflow | paOutputOverflow))
        self->renderer_.noteOutputStatus({.underflow = (statusFlags & paOutputUnderflow) != 0,
                                          .overflow = (statusFlags & paOutputOverflow) != 0});
    // Non-interleaved: one buffer per channel, which is exactly what the core renders into.
    auto** channels = static_cast<float**>(output);
    self->renderer_.render(static_cast<int>(frames), channels[0], channels[1]);
    return paContinue;
}

void PortAudioOutput::finished(void* user) {
    // Runs on PortAudio's thread once the stream has stopped, for whatever reason; when
    // it was not stopped here, its device went away.
    auto* self = static_cast<PortAudioOutput*>(user);
    self->streamEnded_.store(true, std::memory_order_release);
    if (!self->closing_.load(std::memory_order_acquire)) self->renderer_.noteOutputEnded();
}

double PortAudioOutput::latency() const {
    std::lock_guard guard(control_);
    const PaStreamInfo* info = stream_ ? Pa_GetStreamInfo(static_cast<PaStream*>(stream_)) : nullptr;
    return info ? info->outputLatency : 0.0;
}

void PortAudioOutput::start() {
    std::lock_guard guard(control_);
    if (running_) return;
    initializePortAudio();
    portAudioUp_ = true;
    try {
        openStream();
    } catch (...) {
        terminatePortAudio();
        portAudioUp_ = false;
        throw;
    }
    running_ = true;
}

void PortAudioOutput::stop() {
    std::lock_guard guard(control_);
    running_ = false;
    closeStream();
    if (portAudioUp_) terminatePortAudio();
    portAudioUp_ = false;
}

void PortAudioOutput::openStream() {
    const std::vector<PaDeviceIndex> devices = candidateDevices();
    if (devices.empty()) throw std::runtime_error("No audio output device was found.");
    std::string failure;
    for (const PaDeviceIndex device : devices) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info) continue;
        PaStreamParameters parameters{};
        parameters.device = device;
        parameters.channelCount = 2;
        parameters.sampleFormat = paFloat32 | paNonInterleaved;
        // Nothing here is played live from a microphone, so latency buys nothing; a
        // generous buffer rides out a busy machine without dropouts.
        parameters.suggestedLatency = std::max(info->defaultHighOutputLatency, minimumLatency);
        PaStream* stream = nullptr;
        QuietStderr quiet;
        // The core clamps its output, so PortAudio need not clip again.
        PaError status = Pa_OpenStream(&stream, nullptr, &parameters, TapeClock::sampleRate,
                                       paFramesPerBufferUnspecified, paClipOff, &PortAudioOutput::callback, this);
        if (status == paNoError) status = Pa_SetStreamFinishedCallback(stream, &PortAudioOutput::finished);
        if (status == paNoError) {
            streamEnded_ = false;
            threadPrepared_ = false;
            status = Pa_StartStream(stream);
        }
        if (status == paNoError) {
            stream_ = stream;
            return;
        }
        if (stream) Pa_CloseStream(stream);
        failure = Pa_GetErrorText(status);
    }
    throw std::runtime_error("No audio output device could be opened (" + failure + ").");
}

void PortAudioOutput::closeStream() {
    if (!stream_) return;
    QuietStderr quiet;
    auto* stream = static_cast<PaStream*>(stream_);
    closing_ = true;
    // Abort rather than stop: a dead device may never drain its buffers.
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    stream_ = nullptr;
    closing_ = false;
}

}  // namespace norvo
