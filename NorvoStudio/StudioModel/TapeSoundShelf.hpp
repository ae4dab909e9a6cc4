#pragma once
#include <filesystem>
#include <string>

#include <QObject>

#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "Platform/DefaultsStore.hpp"

namespace norvo {

class AlertSlot;
class AudioCore;
class StudioUi;

// The tape sounds: the built-in and imported profiles, the one the deck plays through,
// choosing, importing, exporting and removing them. The core always plays through the
// selected profile. Main thread only.
class TapeSoundShelf final : public QObject {
    Q_OBJECT
public:
    // Reads the stored library and hands its selection to the core.
    TapeSoundShelf(DefaultsStore& defaults, AudioCore& core, StudioUi& ui, AlertSlot& alerts,
                   QObject* parent = nullptr);

    const TapeSoundLibrary& library() const { return library_; }

    void select(const std::string& id);
    void importProfile(const std::filesystem::path& file);
    void chooseToImport();
    void exportSelected();
    void removeImported(const std::string& id);
    // Publishes `library` and hands its selection to the core.
    void apply(TapeSoundLibrary library);

signals:
    void changed();

private:
    AudioCore& core_;
    StudioUi& ui_;
    AlertSlot& alerts_;
    TapeSoundLibrary library_;
};

}  // namespace norvo
