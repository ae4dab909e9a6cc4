#include "StudioModel/CassetteSlot.hpp"

#include <algorithm>
#include <utility>

#include "AudioEngine/AudioCore.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "StudioModel/AlertSlot.hpp"
#include "StudioModel/LiveDeck.hpp"
#include "StudioModel/RecordingLog.hpp"
#include "StudioModel/RecoveryWriter.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"
#include "StudioModel/StudioServices.hpp"
#include "StudioModel/WindowTitle.hpp"

namespace norvo {
namespace {

QString errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unknown error occurred.");
    }
}

}  // namespace

CassetteSlot::CassetteSlot(const StudioServices& services, AudioCore& core, LiveDeck& live, DocumentEditor& editor,
                           RecordingLog& log, WindowTitle& title, AlertSlot& alerts, QObject* parent)
    : QObject(parent),
      services_(services),
      core_(core),
      live_(live),
      editor_(editor),
      log_(log),
      title_(title),
      alerts_(alerts),
      positions_(services.defaults),
      recovery_(std::make_unique<RecoveryWriter>(*services.clock)),
      background_(std::make_unique<BackgroundWork>(services.executor, services.runInBackground)) {
    title_.follow([this]() -> std::optional<WindowTitle::Cassette> {
        const auto& document = editor_.document();
        if (!document) return std::nullopt;
        return WindowTitle::Cassette{cassetteName(*document, fileUrl_, ShownText::isolatedWhenRightToLeft),
                                     hasUnsavedChanges()};
    });
}

CassetteSlot::~CassetteSlot() {
    *alive_ = false;
    title_.follow({});
    // Saves and releases still running use the media and the services: they end first.
    // A read that hangs is left behind.
    background_.reset();
    recovery_.reset();
}

QString CassetteSlot::cassetteName(const CassetteDocument& document, const std::optional<std::filesystem::path>& file,
                                   QString (*shown)(std::string_view)) {
    if (file) return shown(file->stem().native());
    if (!document.name.empty()) return shown(document.name);
    return QStringLiteral("Untitled ") + QString::fromStdString(document.type.description());
}

bool CassetteSlot::hasUnsavedChanges() const {
    if (!editor_.document()) return false;
    if (editor_.metadataEdited()) return true;
    return media_ && media_->isDirty();
}

void CassetteSlot::setMedia(std::shared_ptr<TapeMedia> media) {
    if (media_ == media) return;
    // The cassette leaving takes its recovery copy along before its workspace goes.
    recovery_->retire(std::exchange(media_, std::move(media)));
    emit mediaChanged();
}

void CassetteSlot::setFileUrl(std::optional<std::filesystem::path> file) {
    if (fileUrl_ == file) return;
    fileUrl_ = std::move(file);
    emit fileUrlChanged();
    title_.noteMaybeChanged();
}

void CassetteSlot::setBusy(std::optional<Busy> busy) {
    if (busy_ == busy) return;
    busy_ = std::move(busy);
    emit busyChanged();
}

void CassetteSlot::setCounterOffset(double offset) {
    if (counterOffset_ == offset) return;
    counterOffset_ = offset;
    emit counterOffsetChanged();
}

std::filesystem::path CassetteSlot::workspacesRoot() const {
    return services_.workspacesRoot.empty() ? TapeMedia::workspacesRoot() : services_.workspacesRoot;
}

std::shared_ptr<TapeMedia> CassetteSlot::makeMedia(const CassetteType& type) const {
    return std::make_shared<TapeMedia>(type, workspacesRoot());
}

void CassetteSlot::runInBackground(BackgroundWork::Kind kind, std::function<void()> work) {
    background_->run(kind, std::move(work));
}

std::function<void(double)> CassetteSlot::busyProgress(Work work) {
    std::weak_ptr<bool> alive = alive_;
    const BackgroundWork::Reply reply = background_->reply();
    // Called on the worker; a report only every half percent, each one a repaint.
    auto last = std::make_shared<double>(-1.0);
    return [this, alive, reply, work, last](double fraction) {
        if (fraction < 1.0 && fraction - *last < 0.005) return;
        *last = fraction;
        reply([this, alive, work, fraction] {
            if (alive.expired() || !busy_ || work_ != work) return;
            setBusy(Busy{busy_->message, fraction});
        });
    };
}

void CassetteSlot::releaseMedia(std::shared_ptr<TapeMedia> media) {
    // Unmapping and deleting a full workspace takes a while: not on the main thread.
    if (!media || media.use_count() > 1) return;
    runInBackground(BackgroundWork::Kind::mustFinish, [media = std::move(media)]() mutable { media.reset(); });
}

void CassetteSlot::saveTapePosition() {
    const auto& document = editor_.document();
    if (!document) return;
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    if (!snapshot.transport.cassette) return;
    positions_.save({snapshot.transport.cassette->side, snapshot.transport.head, services_.clock->now()}, document->id);
}

// MARK: - Lifecycle

StudioUi::SaveChoice CassetteSlot::confirmSaveChanges() {
    const auto& document = editor_.document();
    QString title = document ? cassetteName(*document, fileUrl_, ShownText::inSentence) : title_.text();
    title.remove(QStringLiteral(" \u2014 Edited"));
    const QString message = QStringLiteral("Save the cassette \u201C") + title + QStringLiteral("\u201D?");
    const QString informative = QStringLiteral(
        "It has recordings or changes that are not in an .norvo file yet. If you don't save, they are lost.");
    return services_.ui.askToSaveChanges(message, informative);
}

bool CassetteSlot::refuseWhileBusy(const Completion& done) {
    if (!busy_) return false;
    services_.ui.beep();
    if (done) done(false);
    return true;
}

void CassetteSlot::guardedReplacement(std::function<void(Completion)> action, Completion done) {
    if (!hasUnsavedChanges()) {
        action(std::move(done));
        return;
    }
    switch (confirmSaveChanges()) {
    case StudioUi::SaveChoice::cancel:
        if (done) done(false);
        return;
    case StudioUi::SaveChoice::dontSave: action(std::move(done)); return;
    case StudioUi::SaveChoice::save: break;
    }
    if (isRecordingOrArmed(live_.snapshot().transport.mode)) {
        core_.transport(TransportCommand::stop);
        live_.refresh(core_);
    }
    std::weak_ptr<bool> alive = alive_;
    Completion afterSave = [alive, action = std::move(action), done = std::move(done)](bool saved) {
        if (alive.expired()) return;
        if (saved) action(done);
        else if (done) done(false);
    };
    if (fileUrl_) save(*fileUrl_, std::move(afterSave));
    else saveAs(std::move(afterSave));
}

void CassetteSlot::open(const std::filesystem::path& file, Completion done) {
    if (refuseWhileBusy(done)) return;
    guardedReplacement([this, file](Completion finished) { openCassette(file, std::move(finished)); }, std::move(done));
}

void CassetteSlot::newCassette(const CassetteType& type, Completion done) {
    if (refuseWhileBusy(done)) return;
    guardedReplacement(
        [this, type](Completion finished) {
            createBlankCassette(type);
            if (finished) finished(editor_.document().has_value());
        },
        std::move(done));
}

void CassetteSlot::createBlankCassette(const CassetteType& type) {
    removeCassette();
    std::shared_ptr<TapeMedia> media;
    try {
        media = makeMedia(type);
    } catch (const std::exception& error) {
        alerts_.raise(QStringLiteral("Cannot create cassette"), QString::fromUtf8(error.what()));
        return;
    }
    CassetteDocument document(type, "", CassetteStyleCatalog::defaultStyle().design, *services_.clock);
    insert(std::move(document), std::move(media), std::nullopt);
}

void CassetteSlot::openCassette(const std::filesystem::path& file, Completion done) {
    removeCassette();
    work_ = Work::loading;
    setBusy(Busy{QStringLiteral("Loading ") + ShownText::inSentence(file.stem().native()) + QChar(0x2026), 0});
    const uint64_t serial = loadSerial_;
    const std::filesystem::path root = workspacesRoot();
    std::weak_ptr<bool> alive = alive_;
    const BackgroundWork::Reply reply = background_->reply();
    auto progress = busyProgress(Work::loading);

    // A read may hang in the file system for good; quitting does not wait for it.
    runInBackground(BackgroundWork::Kind::mayHang, [this, alive, reply, progress, file, root, serial,
                                                    done = std::move(done)] {
        auto makeMedia = [root](const CassetteType& type) { return std::make_shared<TapeMedia>(type, root); };
        std::shared_ptr<TapeFileCodec::ReadResult> result;
        std::exception_ptr error;
        auto images = std::make_shared<DocumentEditor::DecodedImages>();
        try {
            result = std::make_shared<TapeFileCodec::ReadResult>(TapeFileCodec::read(file, progress, makeMedia));
            // Decoding a cassette's artwork takes long enough to drop frames: done here.
            for (const auto& [role, data] : result->document.artwork)
                images->emplace_back(data, DocumentEditor::decodeImage(data));
            for (const auto& data : result->document.bookletPanels)
                images->emplace_back(data, DocumentEditor::decodeImage(data));
        } catch (...) {
            error = std::current_exception();
        }
        reply([this, alive, file, serial, result, images, error, done] {
            if (alive.expired()) return;
            work_ = Work::none;
            setBusy(std::nullopt);
            if (serial != loadSerial_) {
                // Another cassette went into the deck meanwhile: it stays.
                if (result) releaseMedia(std::move(result->media));
                if (done) done(false);
                return;
            }
            if (error) {
                alerts_.raise(QStringLiteral("Cannot open cassette"), errorText(error));
                if (done) done(false);
                return;
            }
            insert(std::move(result->document), std::move(result->media), file, *images);
            services_.ui.noteRecentDocument(file);
            if (done) done(true);
        });
    });
}

void CassetteSlot::insert(CassetteDocument document, std::shared_ptr<TapeMedia> media,
                          std::optional<std::filesystem::path> file) {
    insert(std::move(document), std::move(media), std::move(file), {});
}

void CassetteSlot::insert(CassetteDocument document, std::shared_ptr<TapeMedia> media,
                          std::optional<std::filesystem::path> file, const DocumentEditor::DecodedImages& decoded) {
    WindowTitle::Hold hold(title_);
    const auto stored = positions_.load(document.id);
    const TapeSide side = stored ? stored->side : TapeSide::a;
    const int64_t head = stored ? stored->head : 0;
    const CassetteTransport::Cassette cassette{document.type, side, protectsSide(document.sideA.writeProtect),
                                               protectsSide(document.sideB.writeProtect)};
    // The core's reference to the cassette before is not the last: media_ holds it until
    // setMedia hands it to the recovery writer, whose thread lets it go.
    core_.loadMedia(media, cassette, head);

    // A pass begun before the insert never goes into this cassette.
    log_.cassetteChanged(core_.snapshot(AudioCore::Peaks::keep).recordingPass);

    ++loadSerial_;
    editor_.setDocument(std::move(document), decoded);
    setMedia(std::move(media));
    setFileUrl(std::move(file));
    editor_.setMetadataEdited(false);
    setCounterOffset(0);
    live_.refresh(core_);
    title_.noteMaybeChanged();
}

void CassetteSlot::removeCassette() {
    WindowTitle::Hold hold(title_);
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    // The cassette leaves: its pass ends as if the deck had stopped.
    log_.observePass(snapshot.recordingPass, TransportMode::stopped);
    saveTapePosition();
    // media_ still holds the cassette: setMedia below hands it to the recovery writer.
    core_.ejectMedia();

    ++loadSerial_;
    editor_.setDocument(std::nullopt);
    setMedia(nullptr);
    setFileUrl(std::nullopt);
    editor_.setMetadataEdited(false);
    setCounterOffset(0);
    live_.refresh(core_);
    title_.noteMaybeChanged();
}

void CassetteSlot::eject(Completion done) {
    if (refuseWhileBusy(done)) return;
    if (!editor_.document()) {
        if (done) done(false);
        return;
    }
    guardedReplacement(
        [this](Completion finished) {
            removeCassette();
            if (finished) finished(true);
        },
        std::move(done));
}

void CassetteSlot::chooseCassette(Completion done) {
    if (refuseWhileBusy(done)) return;
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::openCassette;
    panel.message = QStringLiteral("Choose a cassette to put in the deck");
    panel.nameFilters = {StudioDocumentTypes::cassetteNameFilter()};
    panel.mimeTypes = {StudioDocumentTypes::cassetteMimeType()};
    const auto files = services_.ui.runOpenPanel(panel);
    if (files.empty()) {
        if (done) done(false);
        return;
    }
    open(files.front(), std::move(done));
}

// MARK: - Saving

void CassetteSlot::save(const std::filesystem::path& file, Completion done) {
    if (!editor_.document() || !media_) return;
    if (work_ != Work::none) {
        // One write at a time; the menus disable saving while busy.
        if (done) done(false);
        return;
    }
    if (isRecordingOrArmed(live_.snapshot().transport.mode)) {
        alerts_.raise(QStringLiteral("The deck is recording"),
                      QStringLiteral("Press STOP before saving the cassette."));
        if (done) done(false);
        return;
    }
    // A pass that ended (as when the prompt's save branch stopped the deck) belongs in
    // the file: commit it before the copy is taken.
    const CoreSnapshot snapshot = core_.snapshot(AudioCore::Peaks::keep);
    log_.observePass(snapshot.recordingPass, snapshot.transport.mode);

    const CassetteDocument written = *editor_.document();
    auto copy = std::make_shared<CassetteDocument>(written);
    if (auto png = editor_.renderPNG(*copy))
        copy->artwork[ArtworkRole::thumbnail] = FileData(std::string_view(png->constData(), std::size_t(png->size())));
    else copy->artwork.erase(ArtworkRole::thumbnail);

    core_.setRecordingLocked(true);
    work_ = Work::saving;
    setBusy(Busy{QStringLiteral("Saving ") + ShownText::inSentence(file.stem().native()) + QChar(0x2026), 0});

    const uint64_t serial = loadSerial_;
    std::weak_ptr<bool> alive = alive_;
    const BackgroundWork::Reply reply = background_->reply();
    const Clock& clock = *services_.clock;
    std::shared_ptr<TapeMedia> media = media_;
    auto writtenCopy = std::make_shared<const CassetteDocument>(written);
    auto progress = busyProgress(Work::saving);

    runInBackground(BackgroundWork::Kind::mustFinish, [this, alive, reply, progress, &clock, file, serial, copy, media,
                                                       writtenCopy, done = std::move(done)] {
        std::exception_ptr error;
        try {
            TapeFileCodec::write(*copy, *media, file, progress, clock);
        } catch (...) {
            error = std::current_exception();
        }
        reply([this, alive, file, serial, writtenCopy, error, done] {
            if (alive.expired()) return;
            finishSave(error, file, serial, *writtenCopy, done);
        });
    });
}

void CassetteSlot::finishSave(std::exception_ptr error, const std::filesystem::path& file, uint64_t loadSerial,
                              const CassetteDocument& written, Completion done) {
    WindowTitle::Hold hold(title_);
    core_.setRecordingLocked(false);
    work_ = Work::none;
    setBusy(std::nullopt);
    const bool ok = !error;
    if (ok) {
        // Only the cassette that was written takes the file's place and clean state: a
        // cassette put in meanwhile is another cassette.
        if (loadSerial == loadSerial_ && editor_.document()) {
            setFileUrl(file);
            editor_.setMetadataEdited(!(*editor_.document() == written));
            saveTapePosition();
        }
        services_.ui.noteRecentDocument(file);
    } else {
        alerts_.raise(QStringLiteral("Cannot save cassette"), errorText(error));
    }
    title_.noteMaybeChanged();
    if (done) done(ok);

    for (auto& waiter : std::exchange(saveWaiters_, {}))
        if (waiter) waiter(ok);
}

void CassetteSlot::afterSave(Completion after) { saveWaiters_.push_back(std::move(after)); }

void CassetteSlot::saveAs(Completion done) {
    const auto& document = editor_.document();
    if (!document) return;
    if (work_ != Work::none) {
        if (done) done(false);
        return;
    }
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::saveCassette;
    panel.nameFilters = {StudioDocumentTypes::cassetteNameFilter()};
    panel.mimeTypes = {StudioDocumentTypes::cassetteMimeType()};
    panel.canCreateDirectories = true;
    if (fileUrl_) {
        panel.proposedName = QString::fromStdString(fileUrl_->filename().string());
        panel.directory = fileUrl_->parent_path();
    } else {
        panel.proposedName = StudioDocumentTypes::cassetteFileName(QString::fromStdString(document->name));
    }
    const auto file = services_.ui.runSavePanel(panel);
    if (!file || !editor_.document()) {
        if (done) done(false);
        return;
    }
    save(*file, std::move(done));
}

}  // namespace norvo
