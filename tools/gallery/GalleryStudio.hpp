#pragma once
// A headless studio for the gallery: the real model and engines, in-memory settings, a
// temporary workspace root and background work that waits until run.
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "AudioEngine/FallbackAudioOutput.hpp"
#include "AudioEngine/OfflineAudioOutput.hpp"
#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/SilentStudioUi.hpp"
#include "Platform/DefaultsStore.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"

namespace gallery {

// The offline output of a studio whose sound device went away: it renders on demand, and
// says the device is lost.
class LostDeviceOutput final : public norvo::AudioOutput {
public:
    explicit LostDeviceOutput(norvo::AudioCore& core) : offline(core) {}
    void start() override { offline.start(); }
    void stop() override { offline.stop(); }
    bool isRunning() const override { return offline.isRunning(); }
    uint64_t deviceLosses() const override { return 1; }
    std::string lastDeviceLoss() const override { return norvo::FallbackAudioOutput::stoppedSentence; }
    bool playsOnDevice() const override { return false; }

    norvo::OfflineAudioOutput offline;
};

struct GalleryStudio {
    // Whether the studio's sound device plays or has gone away.
    enum class Sound { device, lost };

    QTemporaryDir dir;
    norvo::QtMainExecutor executor;
    norvo::InMemoryDefaultsStore defaults;
    norvo::StandardStudioServices standard;
    // Nothing is shown; an unsaved-changes prompt is answered "Don't Save".
    norvo::test::SilentStudioUi ui{norvo::StudioUi::SaveChoice::dontSave};
    std::deque<std::function<void()>> background;
    norvo::OfflineAudioOutput* output = nullptr;
    std::unique_ptr<norvo::StudioModel> model;
    // The faces' inputs, the tuner's clock standing still so that every run draws the same.
    std::unique_ptr<norvo::test::RackFaceServices> faces;

    explicit GalleryStudio(Sound sound = Sound::device) {
        norvo::StudioServices services = standard.services(executor, defaults, ui);
        services.workspacesRoot = std::filesystem::path(dir.path().toStdString()) / "Workspaces";
        services.runInBackground = [this](std::function<void()> work) { background.push_back(std::move(work)); };
        // Audio is rendered only when a picture asks for it.
        services.makeOutput = [this, sound](norvo::AudioCore& core) -> std::unique_ptr<norvo::AudioOutput> {
            if (sound == Sound::lost) {
                auto made = std::make_unique<LostDeviceOutput>(core);
                output = &made->offline;
                return made;
            }
            auto made = std::make_unique<norvo::OfflineAudioOutput>(core);
            output = made.get();
            return made;
        };
        model = std::make_unique<norvo::StudioModel>(services);
        faces = std::make_unique<norvo::test::RackFaceServices>(*model, executor);
    }
    ~GalleryStudio() {
        runBackground();
        faces.reset();
        model.reset();
    }
    void runBackground() {
        while (!background.empty()) {
            auto work = std::move(background.front());
            background.pop_front();
            work();
        }
        QCoreApplication::processEvents();
    }
    // Lets posted main-thread work run until `done` holds (bounded).
    void settle(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
    }
    std::filesystem::path file(const QString& name) const {
        return std::filesystem::path(dir.filePath(name).toStdString());
    }
};

// A 16-bit stereo WAV of a tone.
inline void writeWav(const std::filesystem::path& path, double seconds, double amplitude = 6000) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly)) return;
    const auto frames = static_cast<quint32>(seconds * 44100);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + frames * 4);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(44100) << quint32(44100 * 4) << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(frames * 4);
    for (quint32 i = 0; i < frames; ++i) {
        const auto s = static_cast<qint16>(amplitude * std::sin(2 * M_PI * 440 * i / 44100.0));
        out << s << s;
    }
}

}  // namespace gallery
