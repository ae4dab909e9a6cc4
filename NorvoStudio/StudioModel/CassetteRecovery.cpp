#include "StudioModel/CassetteRecovery.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "AudioEngine/AudioCore.hpp"
#include "Cassette/TapePositionStore.hpp"
#include "StudioModel/AlertSlot.hpp"
#include "StudioModel/CassetteSlot.hpp"
#include "StudioModel/DocumentEditor.hpp"
#include "StudioModel/FormatTapeTime.hpp"
#include "StudioModel/RecordingLog.hpp"
#include "StudioModel/RecoveryWriter.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioServices.hpp"
#include "StudioModel/WindowTitle.hpp"

namespace norvo {

CassetteRecovery::CassetteRecovery(const StudioServices& services, AudioCore& core, CassetteSlot& slot,
                                   DocumentEditor& editor, const RecordingLog& log, WindowTitle& title,
                                   AlertSlot& alerts, QObject* parent)
    : QObject(parent),
      services_(services),
      core_(core),
      slot_(slot),
      editor_(editor),
      log_(log),
      title_(title),
      alerts_(alerts) {
    // The copy handed over belongs to the cassette that left; the writer retires it.
    connect(&slot_, &CassetteSlot::mediaChanged, this, [this] { handedCopy_.reset(); });
}

void CassetteRecovery::offerRecoveries() {
    struct Unsaved {
        std::filesystem::path workspace;
        RecoveryCopy copy;
    };
    std::vector<Unsaved> unsaved;
    try {
        // Workspaces of earlier runs go, except those whose cassette was left unsaved.
        TapeMedia::sweepStaleWorkspaces(slot_.workspacesRoot(), [&](const std::filesystem::path& workspace) {
            try {
                auto copy = RecoveryCopy::read(workspace, RecoveryCopy::Images::skipped);
                if (!copy) return false;
                unsaved.push_back({workspace, std::move(*copy)});
                return true;
            } catch (const std::exception&) {
                // A copy that cannot be read cannot be offered back either.
                return false;
            }
        });
    } catch (const std::exception&) {
        // Stale workspaces only cost disk space; the studio works without the sweep.
    }
    std::stable_sort(unsaved.begin(), unsaved.end(),
                     [](const Unsaved& a, const Unsaved& b) { return a.copy.savedAt > b.copy.savedAt; });
    for (const Unsaved& candidate : unsaved) {
        switch (askToRecover(candidate.copy)) {
        case StudioUi::RecoverChoice::recover: recover(candidate.workspace); return;
        // The rest stay for a later start: nothing is removed unasked.
        case StudioUi::RecoverChoice::keep: return;
        case StudioUi::RecoverChoice::discard: TapeMedia::removeStaleWorkspace(candidate.workspace); break;
        }
    }
}

StudioUi::RecoverChoice CassetteRecovery::askToRecover(const RecoveryCopy& copy) {
    const QString name = CassetteSlot::cassetteName(copy.document, copy.file, ShownText::inSentence);
    const QString message = QStringLiteral("Recover \u201C") + name + QStringLiteral("\u201D (") +
                            formatTapeTime(copy.recordedFrames()) + QStringLiteral(" recorded)?");
    const QString informative = QStringLiteral(
        "Norvo Studio ended before this cassette was saved. If you don't recover it, its recordings and changes are "
        "deleted.");
    return services_.ui.askToRecover(message, informative);
}

void CassetteRecovery::recover(const std::filesystem::path& workspace) {
    try {
        auto copy = RecoveryCopy::read(workspace, RecoveryCopy::Images::loaded);
        if (!copy) throw std::runtime_error("The cassette is no longer there.");
        auto media = std::make_shared<TapeMedia>(copy->document.type, TapeMedia::Existing{workspace});
        for (TapeSide side : allTapeSides) {
            media->setUsedClean(side, copy->used[rawValue(side)]);
            if (copy->dirty[rawValue(side)]) media->noteWritten(side, copy->used[rawValue(side)]);
        }
        // It goes in where it was left.
        TapePositionStore(services_.defaults).save({copy->side, copy->head, services_.clock->now()}, copy->document.id);
        WindowTitle::Hold hold(title_);
        slot_.insert(std::move(copy->document), std::move(media), copy->file);
        editor_.setMetadataEdited(true);
        // The copy on disk is now this run's to keep current, and to remove once saved.
        handedAt_ = services_.executor.now();
        handCopy();
    } catch (const std::exception& error) {
        // The workspace stays as it was, to be offered again.
        alerts_.raise(QStringLiteral("Cannot recover cassette"), QString::fromUtf8(error.what()));
    }
}

void CassetteRecovery::noteChanges() {
    const auto& media = slot_.media();
    if (!media || !editor_.document()) return;
    if (!slot_.hasUnsavedChanges()) {
        if (handedCopy_) slot_.recoveryWriter().discard(media->directory());
        handedCopy_.reset();
        return;
    }
    const double now = services_.executor.now();
    if (handedCopy_ && now - handedAt_ < interval) return;
    handedAt_ = now;
    handCopy();
}

void CassetteRecovery::handCopy() {
    const auto& media = slot_.media();
    RecoveryCopy copy;
    copy.document = *editor_.document();
    // A pass still recording is in the copy as if it ended now.
    log_.addOpenPass(copy.document);
    for (TapeSide side : allTapeSides) {
        copy.used[rawValue(side)] = media->used(side);
        copy.dirty[rawValue(side)] = media->isDirty(side);
    }
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    if (snapshot.transport.cassette) {
        copy.side = snapshot.transport.cassette->side;
        copy.head = snapshot.transport.head;
    }
    copy.file = slot_.fileUrl();
    if (handedCopy_ && *handedCopy_ == copy) return;
    slot_.recoveryWriter().write(media->directory(), copy);
    handedCopy_ = std::move(copy);
}

void CassetteRecovery::discardLoaded() {
    if (const auto& media = slot_.media()) slot_.recoveryWriter().discard(media->directory());
}

void CassetteRecovery::keepLoaded() {
    const auto& media = slot_.media();
    if (media && slot_.hasUnsavedChanges()) {
        handCopy();
        media->keepWorkspace();
    } else if (media) {
        slot_.recoveryWriter().discard(media->directory());
    }
    slot_.recoveryWriter().flush();
}

}  // namespace norvo
