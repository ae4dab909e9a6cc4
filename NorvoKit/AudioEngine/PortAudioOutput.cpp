#include "AudioEngine/PortAudioOutput.hpp"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
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

// Once, from the callback thread itself (whatever thread the host API made): real-time
// priority where the system grants it; where it does not, the thread simply keeps its
// normal priority. The locks the render takes inherit priority, so no holder of normal
// priority can stall it for long.
void askForRealTimeScheduling() {
    constexpr int wanted = 70;
    rlimit limit{};
    int priority = wanted;
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        priority = std::min<int>(wanted, static_cast<int>(limit.rlim_cur));
    sched_param parameters{};
    parameters.sched_priority = std::clamp(priority, sched_get_priority_min(SCHED_FIFO), sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

}  // namespace

PortAudioOutput::PortAudioOutput(AudioCore& core) : PortAudioOutput(core, Options{}) {}

PortAudioOutput::PortAudioOutput(AudioCore& core, Options options) : core_(core), options_(options) {}

PortAudioOutput::~PortAudioOutput() { stop(); }

bool PortAudioOutput::isRunning() const {
    std::lock_guard guard(control_);
    return running_;
}

int PortAudioOutput::callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                          unsigned long statusFlags, void* user) {
    auto* self = static_cast<PortAudioOutput*>(user);
    if (!self->schedulingAsked_) {
        self->schedulingAsked_ = true;
        askForRealTimeScheduling();
    }
    if (statusFlags & (paOutputUnderflow | paOutputOverflow))
        self->core_.noteOutputStatus(statusFlags & paOutputUnderflow, statusFlags & paOutputOverflow);
    // Non-interleaved: one buffer per channel, which is exactly what the core renders into.
    auto** channels = static_cast<float**>(output);
    self->core_.render(static_cast<int>(frames), channels[0], channels[1]);
    self->callbacks_.fetch_add(1, std::memory_order_relaxed);
    return paContinue;
}

void PortAudioOutput::finished(void* user) {
    // Runs on PortAudio's thread once the stream has stopped, for whatever reason.
    auto* self = static_cast<PortAudioOutput*>(user);
    self->streamEnded_.store(true, std::memory_order_release);
    self->wake_.notify_all();
}

void PortAudioOutput::start() {
    std::lock_guard guard(control_);
    if (running_) return;
    bringUpPortAudio();
    try {
        openStream();
    } catch (...) {
        shutDownPortAudio();
        throw;
    }
    running_ = true;
    restarts_ = 0;
    watchdog_ = std::thread([this] { watch(); });
}

void PortAudioOutput::stop() {
    {
        std::lock_guard guard(control_);
        if (!running_) return;
        running_ = false;
    }
    wake_.notify_all();
    if (watchdog_.joinable()) watchdog_.join();
    std::lock_guard guard(control_);
    closeStream();
    shutDownPortAudio();
}

void PortAudioOutput::bringUpPortAudio() {
    if (portAudioUp_) return;
    initializePortAudio();
    portAudioUp_ = true;
}

void PortAudioOutput::shutDownPortAudio() {
    if (!portAudioUp_) return;
    terminatePortAudio();
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
        parameters.suggestedLatency = info->defaultHighOutputLatency;
        PaStream* stream = nullptr;
        QuietStderr quiet;
        // The core clamps its output, so PortAudio need not clip again.
        PaError status = Pa_OpenStream(&stream, nullptr, &parameters, TapeClock::sampleRate,
                                       paFramesPerBufferUnspecified, paClipOff, &PortAudioOutput::callback, this);
        if (status == paNoError) status = Pa_SetStreamFinishedCallback(stream, &PortAudioOutput::finished);
        if (status == paNoError) {
            streamEnded_ = false;
            schedulingAsked_ = false;
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
    // Abort rather than stop: a dead device may never drain its buffers.
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    stream_ = nullptr;
}

void PortAudioOutput::restart() {
    closeStream();
    // The closed stream has reported its end; only a new stream's end counts from here.
    streamEnded_ = false;
    // Starting PortAudio again lists the devices anew, so a new default device is found.
    shutDownPortAudio();
    try {
        bringUpPortAudio();
        openStream();
        restarts_.fetch_add(1, std::memory_order_relaxed);
    } catch (const std::runtime_error&) {
        // No device now; the watchdog tries again at its next look.
    }
}

void PortAudioOutput::watch() {
    std::unique_lock lock(control_);
    uint64_t lastCallbacks = callbacks_.load(std::memory_order_relaxed);
    auto lastProgress = std::chrono::steady_clock::now();
    auto nextAttempt = lastProgress;
    while (running_) {
        wake_.wait_for(lock, options_.watchInterval,
                       [&] { return !running_ || streamEnded_.load(std::memory_order_acquire); });
        if (!running_) break;
        const auto now = std::chrono::steady_clock::now();
        const uint64_t callbacks = callbacks_.load(std::memory_order_relaxed);
        if (callbacks != lastCallbacks) {
            lastCallbacks = callbacks;
            lastProgress = now;
        }
        const bool dead = !stream_ || streamEnded_.load(std::memory_order_acquire) ||
                          now - lastProgress >= options_.stallTimeout;
        if (!dead || now < nextAttempt) continue;
        restart();
        lastProgress = std::chrono::steady_clock::now();
        // Probing every device is not free: without one, try again only now and then.
        if (!stream_) nextAttempt = lastProgress + options_.retryInterval;
    }
}

}  // namespace norvo
