#include "StudioModel/TapeSoundShelf.hpp"

#include <optional>

#include <QStringList>

#include "AudioEngine/AudioCore.hpp"
#include "StudioModel/AlertSlot.hpp"
#include "StudioModel/LocalFile.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

TapeSoundShelf::TapeSoundShelf(DefaultsStore& defaults, AudioCore& core, StudioUi& ui, AlertSlot& alerts,
                               QObject* parent)
    : QObject(parent), core_(core), ui_(ui), alerts_(alerts), library_(defaults) {
    core_.setTapeSound(library_.selected ? &*library_.selected : nullptr);
}

void TapeSoundShelf::apply(TapeSoundLibrary library) {
    library_ = std::move(library);
    emit changed();
    core_.setTapeSound(library_.selected ? &*library_.selected : nullptr);
}

void TapeSoundShelf::select(const std::string& id) {
    if (library_.selectedID() == id) return;
    TapeSoundLibrary copy = library_;
    copy.select(id);
    apply(std::move(copy));
}

void TapeSoundShelf::importProfile(const std::filesystem::path& path) {
    const QString cannotUse = QStringLiteral("Cannot use this tape sound");
    std::string bytes;
    try {
        bytes = SoundProfile::readFile(path);
    } catch (const std::exception& error) {
        alerts_.raise(cannotUse, QString::fromUtf8(error.what()));
        return;
    }

    TapeSoundLibrary copy = library_;
    std::optional<SoundProfile::ParseResult> result;
    QString failure;
    try {
        result = copy.importProfile(bytes);
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    apply(std::move(copy));
    if (!result) {
        alerts_.raise(cannotUse, failure);
        return;
    }
    if (result->warnings.empty()) return;
    QStringList lines;
    for (const auto& issue : result->warnings)
        lines << QStringLiteral("\u2022 ") + ShownText::inSentence(issue.path) + QStringLiteral(": ") +
                     QString::fromStdString(issue.message);
    alerts_.raise(QChar(0x201C) + ShownText::inSentence(result->profile.name) + QStringLiteral("\u201D was adjusted"),
                  QStringLiteral("Some values were ignored or brought into range:\n") + lines.join(QLatin1Char('\n')));
}

void TapeSoundShelf::chooseToImport() {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::importTapeSound;
    panel.message = QStringLiteral("Choose a NORVO Sound profile (.nvsound)");
    panel.nameFilters = {StudioDocumentTypes::soundNameFilter()};
    panel.mimeTypes = {StudioDocumentTypes::soundMimeType()};
    const auto files = ui_.runOpenPanel(panel);
    if (!files.empty()) importProfile(files.front());
}

void TapeSoundShelf::exportSelected() {
    if (!library_.selected) return;
    // A copy: the library may change while the modal panel runs.
    const SoundProfile profile = *library_.selected;
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::exportTapeSound;
    panel.nameFilters = {StudioDocumentTypes::soundNameFilter()};
    panel.mimeTypes = {StudioDocumentTypes::soundMimeType()};
    panel.canCreateDirectories = true;
    panel.proposedName = QString::fromStdString(profile.suggestedFileName());
    const auto target = ui_.runSavePanel(panel);
    if (!target) return;

    const QString failure = LocalFile::replace(*target, profile.encodedData());
    if (!failure.isEmpty()) alerts_.raise(QStringLiteral("Cannot export the tape sound"), failure);
}

void TapeSoundShelf::removeImported(const std::string& id) {
    TapeSoundLibrary copy = library_;
    copy.remove(id);
    apply(std::move(copy));
}

}  // namespace norvo
