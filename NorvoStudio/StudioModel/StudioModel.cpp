#include "StudioModel/StudioModel.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include <QBuffer>
#include <QImageReader>

#include "AudioEngine/FallbackAudioOutput.hpp"
#include "AudioEngine/ReelGeometry.hpp"
#include "AudioEngine/TapeClock.hpp"
#include "AudioEngine/TapeSound/SoundProfileError.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Platform/RegularFile.hpp"
#include "Radio/RadioStream.hpp"
#include "StudioModel/LocalFile.hpp"
#include "StudioModel/ShownText.hpp"
#include "StudioModel/FormatTapeTime.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"

namespace norvo {
namespace {

QString qText(const std::string& text) { return QString::fromStdString(text); }

// The cassette as its title names it: its file's name, else its own name, else its type.
// `shown` puts a name from outside before the user (drawn alone, or in a sentence).
QString cassetteName(const CassetteDocument& document, const std::optional<std::filesystem::path>& file,
                     QString (*shown)(std::string_view)) {
    if (file) return shown(file->stem().native());
    if (!document.name.empty()) return shown(document.name);
    return QStringLiteral("Untitled ") + qText(document.type.description());
}

QString errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unknown error occurred.");
    }
}

// Decodes image bytes as they are shown: orientation applied, within Qt's allocation
// limit, so a huge image is refused instead of exhausting memory.
QImage decodeImage(const FileData& data) {
    if (data.empty()) return {};
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

// The first piece of a track key split at "|" (empty pieces dropped): the station of a
// tuner key, the whole key of a player key.
std::optional<std::string> firstKeyPiece(const std::string& key) {
    std::size_t start = 0;
    while (start <= key.size()) {
        const std::size_t bar = key.find('|', start);
        const std::size_t end = bar == std::string::npos ? key.size() : bar;
        if (end > start) return key.substr(start, end - start);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return std::nullopt;
}

std::string lowercasedExtension(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

// Holds back window title announcements while an operation changes several values.
struct TitleHold {
    explicit TitleHold(StudioModel& model) : model(model) { ++model.titleHold_; }
    ~TitleHold() {
        if (--model.titleHold_ == 0) model.noteTitleMaybeChanged();
    }
    StudioModel& model;
};

StudioModel::StudioModel(StudioServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      core_(std::make_unique<AudioCore>()),
      tapeSound_(services_.defaults),
      positions_(services_.defaults),
      recovery_(std::make_unique<RecoveryWriter>(*services_.clock)),
      background_(std::make_unique<BackgroundWork>(services_.executor, services_.runInBackground)) {
    lastTick_ = services_.executor.now();
    source_ = std::make_unique<SourcePlayerEngine>(*core_, services_.sourceStreams, services_.executor);
    tuner_ = std::make_unique<TunerEngine>(*core_, services_.defaults, services_.tunerDirectory,
                                           services_.tunerStreams, services_.executor, services_.locale);
    live_ = std::make_unique<LiveDeck>(core_->snapshot(true));

    // The deck input is not pushed: the core starts on the player as the model does.
    core_->setDeckVolume(static_cast<float>(deckVolume_));
    pushRecordGain();
    core_->setTapeSound(tapeSound_.selected ? &*tapeSound_.selected : nullptr);

    sourceObservation_ = source_->observe([this] { emit sourceChanged(); });
    tunerObservation_ = tuner_->observe([this] { emit tunerChanged(); });
    publishedTitle_ = windowTitle();
}

StudioModel::~StudioModel() {
    services_.defaults.reportWriteFailure({});
    *alive_ = false;
    if (ticker_) ticker_->stop();
    // The output renders the core: it goes first.
    if (output_) output_->stop();
    output_.reset();
    // Saves and releases still running use the media and the services: they end first.
    // A read that hangs is left behind.
    background_.reset();
    recovery_.reset();
    sourceObservation_.reset();
    tunerObservation_.reset();
}

// MARK: - Published values

void StudioModel::dismissAlert() {
    if (!alert_) return;
    alert_.reset();
    noticeShown_.reset();
    if (!waitingNotices_.empty()) {
        alert_ = waitingNotices_.front();
        noticeShown_ = alert_->id;
        waitingNotices_.erase(waitingNotices_.begin());
    }
    emit alertChanged();
}

void StudioModel::setShowingDesigner(bool showing) {
    if (showingDesigner_ == showing) return;
    showingDesigner_ = showing;
    emit showingDesignerChanged();
}

void StudioModel::setDeckVolume(double volume) {
    // A knob's value that is not a number would reach the output: ignored; the rest is kept in range.
    if (!std::isfinite(volume)) return;
    volume = std::clamp(volume, 0.0, 1.0);
    const bool changed = deckVolume_ != volume;
    deckVolume_ = volume;
    core_->setDeckVolume(static_cast<float>(volume));
    if (changed) emit deckVolumeChanged();
}

float StudioModel::recordGain(double level) {
    return static_cast<float>(std::pow(10.0, (level * 18.0 - 12.0) / 20.0));
}

void StudioModel::pushRecordGain() { core_->setRecordGain(recordGain(recordLevel_)); }

void StudioModel::setRecordLevel(double level) {
    // A gain that is not a number would be recorded onto the tape.
    if (!std::isfinite(level)) return;
    level = std::clamp(level, 0.0, 1.0);
    const bool changed = recordLevel_ != level;
    recordLevel_ = level;
    pushRecordGain();
    if (changed) emit recordLevelChanged();
}

void StudioModel::setDeckInput(DeckInput input) {
    const bool changed = deckInput_ != input;
    deckInput_ = input;
    core_->setDeckInput(input);
    if (changed) emit deckInputChanged();
}

bool StudioModel::hasUnsavedChanges() const {
    if (!document_) return false;
    if (metadataEdited_) return true;
    return media_ && media_->isDirty();
}

QString StudioModel::windowTitle() const {
    if (!document_) return QStringLiteral("Norvo Studio");
    QString base = cassetteName(*document_, fileUrl_, ShownText::plain);
    if (hasUnsavedChanges()) base += QStringLiteral(" \u2014 Edited");
    return base;
}

bool StudioModel::isCassetteIdle() const {
    return document_.has_value() && !busy_ && !isRecordingOrArmed(live_->snapshot().transport.mode);
}

void StudioModel::setDocument(std::optional<CassetteDocument> document) {
    std::optional<CassetteDocument> previous = std::move(document_);
    document_ = std::move(document);
    rebuildImages(previous);
    emit documentChanged();
    noteTitleMaybeChanged();
}

void StudioModel::rebuildImages(const std::optional<CassetteDocument>& previous) {
    const auto* oldArtwork = previous ? &previous->artwork : nullptr;
    const auto* newArtwork = document_ ? &document_->artwork : nullptr;
    const bool artworkChanged =
        (oldArtwork == nullptr) != (newArtwork == nullptr) || (oldArtwork && !(*oldArtwork == *newArtwork));
    if (artworkChanged) {
        ArtworkImages rebuilt;
        if (newArtwork) {
            for (const auto& [role, data] : *newArtwork) {
                // Data that did not change keeps its decoded image.
                if (oldArtwork) {
                    auto old = oldArtwork->find(role);
                    auto image = images_.find(role);
                    if (old != oldArtwork->end() && old->second == data && image != images_.end()) {
                        rebuilt.emplace(role, image->second);
                        continue;
                    }
                }
                QImage image = decoded(data);
                if (!image.isNull()) rebuilt.emplace(role, std::move(image));
            }
        }
        images_ = std::move(rebuilt);
        emit imagesChanged();
    }

    const auto* oldPanels = previous ? &previous->bookletPanels : nullptr;
    const auto* newPanels = document_ ? &document_->bookletPanels : nullptr;
    const bool panelsChanged =
        (oldPanels == nullptr) != (newPanels == nullptr) || (oldPanels && !(*oldPanels == *newPanels));
    if (panelsChanged) {
        std::vector<QImage> rebuilt;
        if (newPanels) {
            for (const auto& data : *newPanels) {
                QImage image = decoded(data);
                if (!image.isNull()) rebuilt.push_back(std::move(image));
            }
        }
        bookletImages_ = std::move(rebuilt);
        emit bookletImagesChanged();
    }
}

QImage StudioModel::decoded(const FileData& data) const {
    for (const auto& [bytes, image] : predecoded_)
        if (bytes == data) return image;
    return decodeImage(data);
}

void StudioModel::setMedia(std::shared_ptr<TapeMedia> media) {
    if (media_ == media) return;
    // The cassette leaving takes its recovery copy along before its workspace goes.
    recovery_->retire(std::exchange(media_, std::move(media)));
    handedCopy_.reset();
    emit mediaChanged();
}

void StudioModel::setFileUrl(std::optional<std::filesystem::path> file) {
    if (fileUrl_ == file) return;
    fileUrl_ = std::move(file);
    emit fileUrlChanged();
    noteTitleMaybeChanged();
}

void StudioModel::setMetadataEdited(bool edited) {
    if (metadataEdited_ == edited) return;
    metadataEdited_ = edited;
    emit metadataEditedChanged();
    noteTitleMaybeChanged();
}

void StudioModel::setBusy(std::optional<Busy> busy) {
    if (busy_ == busy) return;
    busy_ = std::move(busy);
    emit busyChanged();
}

void StudioModel::setCounterOffset(double offset) {
    if (counterOffset_ == offset) return;
    counterOffset_ = offset;
    emit counterOffsetChanged();
}

void StudioModel::raiseAlert(const QString& title, const QString& message) {
    if (alert_ && noticeShown_ == alert_->id)
        waitingNotices_.insert(waitingNotices_.begin(), AlertItem{QUuid::createUuid(), alert_->title, alert_->message});
    noticeShown_.reset();
    alert_ = AlertItem{QUuid::createUuid(), title, message};
    emit alertChanged();
}

void StudioModel::raiseNotice(const QString& title, const QString& message) {
    if (alert_) {
        waitingNotices_.push_back(AlertItem{QUuid::createUuid(), title, message});
        return;
    }
    raiseAlert(title, message);
    noticeShown_ = alert_->id;
}

void StudioModel::pushWriteProtection() {
    core_->setWriteProtected(protectsSide(document_->sideA.writeProtect), TapeSide::a);
    core_->setWriteProtected(protectsSide(document_->sideB.writeProtect), TapeSide::b);
}

void StudioModel::refreshLive() { live_->update(core_->snapshot(false), 0); }

void StudioModel::noteTitleMaybeChanged() {
    if (titleHold_ > 0) return;
    QString title = windowTitle();
    if (title == publishedTitle_) return;
    publishedTitle_ = std::move(title);
    emit windowTitleChanged();
}

std::filesystem::path StudioModel::workspacesRoot() const {
    return services_.workspacesRoot.empty() ? TapeMedia::workspacesRoot() : services_.workspacesRoot;
}

std::shared_ptr<TapeMedia> StudioModel::makeMedia(const CassetteType& type) const {
    return std::make_shared<TapeMedia>(type, workspacesRoot());
}

void StudioModel::runInBackground(BackgroundWork::Kind kind, std::function<void()> work) {
    background_->run(kind, std::move(work));
}

std::function<void(double)> StudioModel::busyProgress(Work work) {
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

void StudioModel::releaseMedia(std::shared_ptr<TapeMedia> media) {
    // Unmapping and deleting a full workspace takes a while: not on the main thread.
    if (!media || media.use_count() > 1) return;
    runInBackground(BackgroundWork::Kind::mustFinish, [media = std::move(media)]() mutable { media.reset(); });
}

// MARK: - Start, open, shutdown

void StudioModel::start() {
    if (ticker_) return;
    offerRecoveries();

    try {
        output_ = services_.makeOutput ? services_.makeOutput(*core_) : std::make_unique<FallbackAudioOutput>(*core_);
        if (output_) output_->start();
    } catch (const std::exception& error) {
        raiseAlert(QStringLiteral("No audio output"), QString::fromUtf8(error.what()));
    }
    if (const auto notice = services_.defaults.resetNotice())
        raiseNotice(QStringLiteral("Settings were reset"), qText(*notice));
    services_.defaults.reportWriteFailure(
        [this, executor = &services_.executor, alive = std::weak_ptr<bool>(alive_)](const std::string& reason) {
            executor->post([this, alive, reason] {
                if (!alive.expired()) raiseNotice(QStringLiteral("Settings cannot be saved"), qText(reason));
            });
        });

    ticker_ = new QTimer(this);
    ticker_->setTimerType(Qt::PreciseTimer);
    ticker_->setInterval(static_cast<int>(std::lround(tickInterval * 1000)));
    connect(ticker_, &QTimer::timeout, this, &StudioModel::tick);
    lastTick_ = services_.executor.now();
    ticker_->start();

    openInOrder(std::exchange(pendingOpen_, {}));
}

void StudioModel::openDocuments(std::vector<std::filesystem::path> files) {
    std::vector<std::pair<std::filesystem::path, Completion>> documents;
    documents.reserve(files.size());
    for (auto& file : files) documents.emplace_back(std::move(file), Completion{});
    openInOrder(std::move(documents));
}

void StudioModel::openInOrder(std::vector<std::pair<std::filesystem::path, Completion>> documents) {
    std::vector<std::filesystem::path> music;
    std::vector<Completion> musicDone;
    const auto addMusic = [&] {
        if (music.empty()) return;
        source_->add(std::exchange(music, {}));
        for (auto& done : std::exchange(musicDone, {}))
            if (done) done(true);
    };
    for (auto& [file, done] : documents) {
        const std::string extension = lowercasedExtension(file);
        if (!ticker_ || extension == std::string(SoundProfile::fileExtension) ||
            extension == TapeFileCodec::fileExtension) {
            addMusic();
            open(file, std::move(done));
        } else {
            music.push_back(std::move(file));
            musicDone.push_back(std::move(done));
        }
    }
    addMusic();
}

void StudioModel::open(const std::filesystem::path& file, Completion done) {
    if (!ticker_) {
        pendingOpen_.emplace_back(file, std::move(done));
        return;
    }
    const std::string extension = lowercasedExtension(file);
    if (extension == std::string(SoundProfile::fileExtension)) {
        importTapeSound(file);
        if (done) done(true);
    } else if (extension == TapeFileCodec::fileExtension) {
        if (refuseWhileBusy(done)) return;
        guardedReplacement([this, file](Completion finished) { openCassette(file, std::move(finished)); },
                           std::move(done));
    } else {
        source_->add({file});
        if (done) done(true);
    }
}

void StudioModel::saveTapePosition() {
    if (!document_) return;
    const CoreSnapshot snapshot = core_->snapshot(false);
    if (!snapshot.transport.cassette) return;
    positions_.save({snapshot.transport.cassette->side, snapshot.transport.head, services_.clock->now()},
                    document_->id);
}

void StudioModel::noticeOutputLoss() {
    if (!output_) return;
    const uint64_t losses = output_->deviceLosses();
    if (losses == noticedOutputLosses_) return;
    noticedOutputLosses_ = losses;
    raiseAlert(QStringLiteral("No audio output"), QString::fromStdString(output_->lastDeviceLoss()));
}

void StudioModel::shutdownSteps() {
    shutDown_ = true;
    saveTapePosition();
    tuner_->powerOff();
    if (output_) output_->stop();
    output_.reset();
    services_.defaults.flush();
}

void StudioModel::shutdown() {
    if (shutDown_) return;
    shutdownSteps();
    if (media_) recovery_->discard(media_->directory());
}

void StudioModel::terminate() {
    if (shutDown_) return;
    // After the output stopped: nothing is recorded past what the copy says.
    shutdownSteps();
    if (media_ && hasUnsavedChanges()) {
        handRecoveryCopy();
        media_->keepWorkspace();
    } else if (media_) {
        recovery_->discard(media_->directory());
    }
    recovery_->flush();
}

StudioModel::QuitReply StudioModel::requestQuit(Completion deferred) {
    if (work_ == Work::saving) {
        // The running save writes the cassette; a second write of the same file would
        // race it. Decide again once it ended.
        quitWaiters_.push_back(std::move(deferred));
        return QuitReply::later;
    }
    if (!hasUnsavedChanges()) {
        shutdown();
        return QuitReply::now;
    }
    switch (confirmSaveChanges()) {
        case SaveChoice::cancel: return QuitReply::cancel;
        case SaveChoice::dontSave: shutdown(); return QuitReply::now;
        case SaveChoice::save: break;
    }
    if (isRecordingOrArmed(live_->snapshot().transport.mode)) transport(TransportCommand::stop);

    struct Progress {
        bool returned = false;
        std::optional<bool> early;  // a result reported before this call returned
    };
    auto progress = std::make_shared<Progress>();
    std::weak_ptr<bool> alive = alive_;
    Completion after = [this, alive, progress, deferred](bool ok) {
        if (!progress->returned) {
            progress->early = ok;
            return;
        }
        if (alive.expired()) return;
        if (ok) shutdown();
        if (deferred) deferred(ok);
    };
    if (fileUrl_)
        save(*fileUrl_, after);
    else
        saveAs(after);
    progress->returned = true;
    if (progress->early) {
        if (!*progress->early) return QuitReply::cancel;
        shutdown();
        return QuitReply::now;
    }
    return QuitReply::later;
}

// MARK: - Recovery of unsaved cassettes

void StudioModel::offerRecoveries() {
    struct Unsaved {
        std::filesystem::path workspace;
        RecoveryCopy copy;
    };
    std::vector<Unsaved> unsaved;
    try {
        // Workspaces of earlier runs go, except those whose cassette was left unsaved.
        TapeMedia::sweepStaleWorkspaces(workspacesRoot(), [&](const std::filesystem::path& workspace) {
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
            case RecoverChoice::recover: recover(candidate.workspace); return;
            // The rest stay for a later start: nothing is removed unasked.
            case RecoverChoice::keep: return;
            case RecoverChoice::discard: TapeMedia::removeStaleWorkspace(candidate.workspace); break;
        }
    }
}

StudioModel::RecoverChoice StudioModel::askToRecover(const RecoveryCopy& copy) {
    const QString name = cassetteName(copy.document, copy.file, ShownText::inSentence);
    const QString message = QStringLiteral("Recover \u201C") + name + QStringLiteral("\u201D (") +
                            formatTapeTime(copy.recordedFrames()) + QStringLiteral(" recorded)?");
    const QString informative = QStringLiteral(
        "Norvo Studio ended before this cassette was saved. If you don't recover it, its recordings and changes are "
        "deleted.");
    return services_.ui.askToRecover(message, informative);
}

void StudioModel::recover(const std::filesystem::path& workspace) {
    try {
        auto copy = RecoveryCopy::read(workspace, RecoveryCopy::Images::loaded);
        if (!copy) throw std::runtime_error("The cassette is no longer there.");
        auto media = std::make_shared<TapeMedia>(copy->document.type, TapeMedia::Existing{workspace});
        for (TapeSide side : allTapeSides) {
            media->setUsedClean(side, copy->used[rawValue(side)]);
            if (copy->dirty[rawValue(side)]) media->noteWritten(side, copy->used[rawValue(side)]);
        }
        // It goes in where it was left.
        positions_.save({copy->side, copy->head, services_.clock->now()}, copy->document.id);
        TitleHold hold(*this);
        insert(std::move(copy->document), std::move(media), copy->file);
        setMetadataEdited(true);
        // The copy on disk is now this run's to keep current, and to remove once saved.
        handedAt_ = services_.executor.now();
        handRecoveryCopy();
    } catch (const std::exception& error) {
        // The workspace stays as it was, to be offered again.
        raiseAlert(QStringLiteral("Cannot recover cassette"), QString::fromUtf8(error.what()));
    }
}

void StudioModel::noteRecoveryCopy() {
    if (shutDown_ || !media_ || !document_) return;
    if (!hasUnsavedChanges()) {
        if (handedCopy_) recovery_->discard(media_->directory());
        handedCopy_.reset();
        return;
    }
    const double now = services_.executor.now();
    if (handedCopy_ && now - handedAt_ < recoveryInterval) return;
    handedAt_ = now;
    handRecoveryCopy();
}

void StudioModel::handRecoveryCopy() {
    RecoveryCopy copy;
    copy.document = *document_;
    // A pass still recording is in the copy as if it ended now.
    if (pass_)
        copy.document.noteRecording(pass_->core.side, pass_->core.start, pass_->core.end, pass_->source,
                                    pass_->format, pass_->markers, services_.clock->now());
    for (TapeSide side : allTapeSides) {
        copy.used[rawValue(side)] = media_->used(side);
        copy.dirty[rawValue(side)] = media_->isDirty(side);
    }
    const CoreSnapshot snapshot = core_->snapshot(false);
    if (snapshot.transport.cassette) {
        copy.side = snapshot.transport.cassette->side;
        copy.head = snapshot.transport.head;
    }
    copy.file = fileUrl_;
    if (handedCopy_ && *handedCopy_ == copy) return;
    recovery_->write(media_->directory(), copy);
    handedCopy_ = std::move(copy);
}

// MARK: - The tick

void StudioModel::tick() {
    const double now = services_.executor.now();
    const double dt = std::clamp(now - lastTick_, 0.0, largestTimeStep);
    lastTick_ = now;

    const CoreSnapshot snapshot = core_->snapshot(true);
    source_->poll(snapshot);
    tuner_->tick();
    live_->update(snapshot, dt);

    const TransportMode mode = snapshot.transport.mode;
    followSources(isRecordingOrArmed(mode));

    const auto& station = tuner_->station();
    if (tuner_->reception().kind == TunerEngine::Reception::Kind::tuned && station) {
        if (!lockedStation_ || *lockedStation_ != station->id) {
            lockedStation_ = station->id;
            stationLockedAt_ = snapshot.transport.head;
        }
    } else if (lockedStation_) {
        lockedStation_.reset();
        stationLockedAt_.reset();
    }

    const auto& cassette = snapshot.transport.cassette;
    if (mode == TransportMode::playing && media_ && cassette)
        media_->storage(cassette->side).advise(snapshot.transport.head, readAheadFrames);

    noticeOutputLoss();
    observePass(snapshot.recordingPass, mode == TransportMode::recording);
    if (mode == TransportMode::recording)
        logTrackIfNeeded(cassette ? std::optional<TapeSide>(cassette->side) : std::nullopt, snapshot.transport.head);

    if (mode != lastMode_) {
        if (lastMode_ == TransportMode::recording) lastLoggedTrack_.reset();
        lastMode_ = mode;
        emit modelChanged();
    }
    // Recording makes the cassette unsaved without any edit.
    noteTitleMaybeChanged();
    noteRecoveryCopy();
}

void StudioModel::followSources(bool armed) {
    const bool playerStarted = source_->state() == SourcePlayerEngine::State::playing &&
                               lastSourceState_ != SourcePlayerEngine::State::playing;
    std::optional<std::string> newStation;
    bool stationChanged = false;
    if (tuner_->isOn() && tuner_->station()) {
        newStation = tuner_->station()->id;
        stationChanged = !lastTunerStation_ || *lastTunerStation_ != *newStation;
    }
    lastSourceState_ = source_->state();
    lastTunerStation_ = std::move(newStation);
    if (armed) return;
    if (playerStarted) {
        if (deckInput_ != DeckInput::sourcePlayer) setDeckInput(DeckInput::sourcePlayer);
    } else if (stationChanged) {
        if (deckInput_ != DeckInput::tuner) setDeckInput(DeckInput::tuner);
    }
}

// MARK: - Passes and markers

void StudioModel::observePass(const std::optional<RecordingPass>& pass, bool recording) {
    if (!pass || pass->serial <= finishedPassSerial_) return;
    if (pass_ && pass_->core.serial == pass->serial) {
        pass_->core = *pass;
        if (!recording) commitPass();
        return;
    }
    commitPass();
    pass_ = Pass{*pass, deckInput_ == DeckInput::tuner ? "radio" : "file", {}, std::nullopt};
    if (!recording) commitPass();
}

void StudioModel::commitPass() {
    if (!pass_) return;
    Pass pass = std::move(*pass_);
    pass_.reset();
    finishedPassSerial_ = pass.core.serial;
    if (!document_) return;
    const Date now = services_.clock->now();
    updateDocument([&](CassetteDocument& document) {
        document.noteRecording(pass.core.side, pass.core.start, pass.core.end, pass.source, pass.format,
                               pass.markers, now);
    });
}

std::optional<StudioModel::TrackInfo> StudioModel::currentTrackInfo() const {
    if (deckInput_ == DeckInput::sourcePlayer) {
        if (source_->state() != SourcePlayerEngine::State::playing) return std::nullopt;
        auto track = source_->currentTrack();
        if (!track) return std::nullopt;
        return TrackInfo{track->id.text(), track->title, lowercasedExtension(track->url)};
    }
    const auto& station = tuner_->station();
    if (tuner_->reception().kind != TunerEngine::Reception::Kind::tuned || !tuner_->titleKnown() || !station)
        return std::nullopt;
    std::string title = tuner_->nowPlaying() ? *tuner_->nowPlaying() : station->name;
    std::string key = station->id + "|" + title;
    return TrackInfo{std::move(key), std::move(title), station->codec == "MP3" ? "mp3" : "aac"};
}

void StudioModel::logTrackIfNeeded(std::optional<TapeSide> side, int64_t position) {
    if (!side) return;
    auto info = currentTrackInfo();
    if (!info || !document_) return;
    if (lastLoggedTrack_ && lastLoggedTrack_->side == *side && lastLoggedTrack_->key == info->key) return;

    const auto previousStation = lastLoggedTrack_ ? firstKeyPiece(lastLoggedTrack_->key) : std::nullopt;
    const auto station = firstKeyPiece(info->key);
    const bool sameStation = previousStation == station;
    lastLoggedTrack_ = LoggedTrack{*side, info->key};

    static const int64_t settleWindow = RadioStream::lockSettleFrames + TapeClock::frames(1.0);
    int64_t frame = position - markerLeadFrames;
    if (deckInput_ == DeckInput::tuner && !sameStation && stationLockedAt_ && *stationLockedAt_ <= position &&
        position - *stationLockedAt_ < settleWindow)
        frame = *stationLockedAt_;
    frame = std::max(frame, pass_ ? pass_->core.start : int64_t{0});

    if (pass_) {
        pass_->markers.push_back(TrackMarker{frame, info->title, "track", {}});
        pass_->format = info->format;
    }

    CassetteDocument copy = *document_;
    auto& tracks = *side == TapeSide::a ? copy.jcard.sideATracks : copy.jcard.sideBTracks;
    if (tracks.empty() || tracks.back() != info->title) tracks.push_back(info->title);
    TitleHold hold(*this);
    if (!(copy == *document_)) setDocument(std::move(copy));
    setMetadataEdited(true);
}

// MARK: - Deck commands

void StudioModel::transport(TransportCommand command) {
    if (busy_ && command != TransportCommand::stop && command != TransportCommand::endWind) return;
    const bool accepted = core_->transport(command);
    if (command == TransportCommand::record && !accepted && document_) {
        const auto& cassette = live_->snapshot().transport.cassette;
        if (cassette && document_->side(cassette->side).writeProtect == WriteProtect::broken) services_.ui.beep();
    }
    refreshLive();
}

void StudioModel::resetCounter() {
    if (!document_) return;
    setCounterOffset(ReelGeometry{document_->type}.turns(live_->snapshot().transport.head));
}

// MARK: - Cassette lifecycle

StudioModel::SaveChoice StudioModel::confirmSaveChanges() {
    QString title = document_ ? cassetteName(*document_, fileUrl_, ShownText::inSentence) : windowTitle();
    title.remove(QStringLiteral(" \u2014 Edited"));
    const QString message = QStringLiteral("Save the cassette \u201C") + title + QStringLiteral("\u201D?");
    const QString informative = QStringLiteral(
        "It has recordings or changes that are not in an .norvo file yet. If you don't save, they are lost.");
    return services_.ui.askToSaveChanges(message, informative);
}

bool StudioModel::refuseWhileBusy(const Completion& done) {
    if (!busy_) return false;
    services_.ui.beep();
    if (done) done(false);
    return true;
}

void StudioModel::guardedReplacement(std::function<void(Completion)> action, Completion done) {
    if (!hasUnsavedChanges()) {
        action(std::move(done));
        return;
    }
    switch (confirmSaveChanges()) {
        case SaveChoice::cancel:
            if (done) done(false);
            return;
        case SaveChoice::dontSave: action(std::move(done)); return;
        case SaveChoice::save: break;
    }
    if (isRecordingOrArmed(live_->snapshot().transport.mode)) transport(TransportCommand::stop);
    std::weak_ptr<bool> alive = alive_;
    Completion afterSave = [alive, action = std::move(action), done = std::move(done)](bool saved) {
        if (alive.expired()) return;
        if (saved)
            action(done);
        else if (done)
            done(false);
    };
    if (fileUrl_)
        save(*fileUrl_, std::move(afterSave));
    else
        saveAs(std::move(afterSave));
}

void StudioModel::newCassette(const CassetteType& type, Completion done) {
    if (refuseWhileBusy(done)) return;
    guardedReplacement(
        [this, type](Completion finished) {
            createBlankCassette(type);
            if (finished) finished(document_.has_value());
        },
        std::move(done));
}

void StudioModel::createBlankCassette(const CassetteType& type) {
    removeCassette();
    std::shared_ptr<TapeMedia> media;
    try {
        media = makeMedia(type);
    } catch (const std::exception& error) {
        raiseAlert(QStringLiteral("Cannot create cassette"), QString::fromUtf8(error.what()));
        return;
    }
    CassetteDocument document(type, "", CassetteStyleCatalog::defaultStyle().design, *services_.clock);
    insert(std::move(document), std::move(media), std::nullopt);
}

void StudioModel::openCassette(const std::filesystem::path& file, Completion done) {
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
        auto images = std::make_shared<std::vector<std::pair<FileData, QImage>>>();
        try {
            result = std::make_shared<TapeFileCodec::ReadResult>(TapeFileCodec::read(file, progress, makeMedia));
            // Decoding a cassette's artwork takes long enough to drop frames: done here.
            for (const auto& [role, data] : result->document.artwork) images->emplace_back(data, decodeImage(data));
            for (const auto& data : result->document.bookletPanels) images->emplace_back(data, decodeImage(data));
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
                raiseAlert(QStringLiteral("Cannot open cassette"), errorText(error));
                if (done) done(false);
                return;
            }
            predecoded_ = std::move(*images);
            insert(std::move(result->document), std::move(result->media), file);
            predecoded_.clear();
            services_.ui.noteRecentDocument(file);
            if (done) done(true);
        });
    });
}

void StudioModel::insert(CassetteDocument document, std::shared_ptr<TapeMedia> media,
                         std::optional<std::filesystem::path> file) {
    TitleHold hold(*this);
    const auto stored = positions_.load(document.id);
    const TapeSide side = stored ? stored->side : TapeSide::a;
    const int64_t head = stored ? stored->head : 0;
    const CassetteTransport::Cassette cassette{document.type, side, protectsSide(document.sideA.writeProtect),
                                               protectsSide(document.sideB.writeProtect)};
    releaseMedia(core_->loadMedia(media, cassette, head));

    const CoreSnapshot snapshot = core_->snapshot(false);
    // A pass begun before the insert never goes into this cassette.
    if (snapshot.recordingPass) finishedPassSerial_ = std::max(finishedPassSerial_, snapshot.recordingPass->serial);
    pass_.reset();

    ++loadSerial_;
    setDocument(std::move(document));
    setMedia(std::move(media));
    setFileUrl(std::move(file));
    setMetadataEdited(false);
    setCounterOffset(0);
    refreshLive();
    noteTitleMaybeChanged();
}

void StudioModel::removeCassette() {
    TitleHold hold(*this);
    const CoreSnapshot snapshot = core_->snapshot(false);
    observePass(snapshot.recordingPass, false);
    saveTapePosition();
    releaseMedia(core_->ejectMedia());

    ++loadSerial_;
    setDocument(std::nullopt);
    setMedia(nullptr);
    setFileUrl(std::nullopt);
    setMetadataEdited(false);
    setCounterOffset(0);
    refreshLive();
    noteTitleMaybeChanged();
}

void StudioModel::eject(Completion done) {
    if (refuseWhileBusy(done)) return;
    if (!document_) {
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

void StudioModel::chooseCassette(Completion done) {
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

void StudioModel::chooseSourceFiles() {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::addMusic;
    panel.message = QStringLiteral("Add MP3 or WAV files to the player");
    panel.nameFilters = StudioDocumentTypes::audioNameFilters();
    panel.mimeTypes = {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-wav"), QStringLiteral("audio/x-aiff"),
                       QStringLiteral("audio/mp4"), QStringLiteral("audio/flac")};
    panel.multipleSelection = true;
    const auto files = services_.ui.runOpenPanel(panel);
    if (!files.empty()) source_->add(files);
}

// MARK: - Saving

void StudioModel::save(const std::filesystem::path& file, Completion done) {
    if (!document_ || !media_) return;
    if (work_ != Work::none) {
        // One write at a time; the menus disable saving while busy.
        if (done) done(false);
        return;
    }
    if (isRecordingOrArmed(live_->snapshot().transport.mode)) {
        raiseAlert(QStringLiteral("The deck is recording"), QStringLiteral("Press STOP before saving the cassette."));
        if (done) done(false);
        return;
    }
    // A pass that ended (as when the prompt's save branch stopped the deck) belongs in
    // the file: commit it before the copy is taken.
    const CoreSnapshot snapshot = core_->snapshot(false);
    observePass(snapshot.recordingPass, snapshot.transport.mode == TransportMode::recording);

    const CassetteDocument written = *document_;
    auto copy = std::make_shared<CassetteDocument>(written);
    if (auto png = renderPNG(*copy))
        copy->artwork[ArtworkRole::thumbnail] = FileData(std::string_view(png->constData(), std::size_t(png->size())));
    else
        copy->artwork.erase(ArtworkRole::thumbnail);

    core_->setRecordingLocked(true);
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

void StudioModel::finishSave(std::exception_ptr error, const std::filesystem::path& file, uint64_t loadSerial,
                             const CassetteDocument& written, Completion done) {
    TitleHold hold(*this);
    core_->setRecordingLocked(false);
    work_ = Work::none;
    setBusy(std::nullopt);
    const bool ok = !error;
    if (ok) {
        // Only the cassette that was written takes the file's place and clean state: a
        // cassette put in meanwhile is another cassette.
        if (loadSerial == loadSerial_ && document_) {
            setFileUrl(file);
            setMetadataEdited(!(*document_ == written));
            saveTapePosition();
        }
        services_.ui.noteRecentDocument(file);
    } else {
        raiseAlert(QStringLiteral("Cannot save cassette"), errorText(error));
    }
    noteTitleMaybeChanged();
    if (done) done(ok);

    auto waiters = std::exchange(quitWaiters_, {});
    for (auto& waiter : waiters) {
        if (!ok) {
            if (waiter) waiter(false);
            continue;
        }
        switch (requestQuit(waiter)) {
            case QuitReply::now:
                if (waiter) waiter(true);
                break;
            case QuitReply::cancel:
                if (waiter) waiter(false);
                break;
            case QuitReply::later: break;
        }
    }
}

void StudioModel::saveAs(Completion done) {
    if (!document_) return;
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
        panel.proposedName = qText(fileUrl_->filename().string());
        panel.directory = fileUrl_->parent_path();
    } else {
        panel.proposedName = StudioDocumentTypes::cassetteFileName(qText(document_->name));
    }
    const auto file = services_.ui.runSavePanel(panel);
    if (!file || !document_) {
        if (done) done(false);
        return;
    }
    save(*file, std::move(done));
}

std::optional<QByteArray> StudioModel::renderPNG(const CassetteDocument& document) {
    const QImage image = services_.ui.renderThumbnail(document, images_);
    if (image.isNull()) return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || bytes.isEmpty()) return std::nullopt;
    return bytes;
}

// MARK: - Document edits

void StudioModel::updateDocument(const std::function<void(CassetteDocument&)>& edit) {
    if (!document_) return;
    TitleHold hold(*this);
    CassetteDocument copy = *document_;
    edit(copy);
    if (copy == *document_) return;
    setDocument(std::move(copy));
    setMetadataEdited(true);
    pushWriteProtection();
}

void StudioModel::advanceWriteProtect(TapeSide side) {
    const Date now = services_.clock->now();
    updateDocument([&](CassetteDocument& document) { document.advanceWriteProtect(side, now); });
}

void StudioModel::setShellTransparent(bool transparent) {
    updateDocument([&](CassetteDocument& document) {
        document.design.shellTransparent = transparent;
        auto& alpha = document.design.shellColor.alpha;
        alpha = transparent ? std::min(alpha, 0.5) : 1.0;
    });
}

void StudioModel::setDesign(const CassetteStyle& style) {
    updateDocument([&](CassetteDocument& document) { document.design = style.design; });
}

void StudioModel::setDocumentColor(const QColor& color, const ColorField& field) {
    RGBAColor converted{0, 0, 0, 1};
    if (color.isValid()) {
        const QColor srgb = color.toRgb();
        converted = RGBAColor{srgb.redF(), srgb.greenF(), srgb.blueF(), srgb.alphaF()};
    }
    updateDocument([&](CassetteDocument& document) { field(document) = converted; });
}

void StudioModel::setDocumentLines(const QString& text, const LinesField& field) {
    std::vector<std::string> lines;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::KeepEmptyParts))
        lines.push_back(line.toStdString());
    updateDocument([&](CassetteDocument& document) { field(document) = lines; });
}

void StudioModel::setArtwork(const FileData& image, ArtworkRole role) {
    updateDocument([&](CassetteDocument& document) { document.artwork[role] = image; });
}

void StudioModel::removeArtwork(ArtworkRole role) {
    updateDocument([&](CassetteDocument& document) { document.artwork.erase(role); });
}

void StudioModel::appendBookletPanel(const FileData& image) {
    updateDocument([&](CassetteDocument& document) { document.bookletPanels.push_back(image); });
}

void StudioModel::removeBookletPanel(int index) {
    if (!document_ || index < 0 || std::size_t(index) >= document_->bookletPanels.size()) return;
    updateDocument([&](CassetteDocument& document) { document.bookletPanels.erase(document.bookletPanels.begin() + index); });
}

// MARK: - Artwork import

void StudioModel::chooseArtwork(std::optional<ArtworkRole> role,
                                const std::function<void(const FileData&)>& accepted) {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::chooseArtwork;
    panel.nameFilters = {QStringLiteral("PNG or JPEG image (*.png *.jpg *.jpeg)")};
    panel.mimeTypes = {QStringLiteral("image/png"), QStringLiteral("image/jpeg")};
    if (role) {
        const auto title = norvo::title(*role);
        const auto size = millimetreSize(*role).value_or(MillimetreSize{});
        const auto pixels = recommendedPixels(*role);
        // asprintf formats numbers in the C locale, as the slot sizes are printed.
        panel.message = QString::asprintf("%s: %.1f \u00D7 %.1f mm \u2014 %d \u00D7 %d px recommended (PNG or JPEG, sRGB)",
                                          std::string(title).c_str(), size.width, size.height, pixels.width,
                                          pixels.height);
    } else {
        panel.message = QStringLiteral(
            "Booklet panel: 63.5 \u00D7 101.6 mm \u2014 1524 \u00D7 2438 px recommended (PNG or JPEG, sRGB)");
    }
    const auto files = services_.ui.runOpenPanel(panel);
    if (files.empty()) return;

    // A file that cannot be read, or is no image that decodes within Qt's allocation limit
    // (a 30000 × 30000 PNG), is passed over without an alert and nothing is stored.
    // Only a regular file: a FIFO picked in the panel would never end.
    RegularFile file(files.front());
    const auto read = file.read(TapeFileCodec::maximumArtworkBytes);
    if (!read || read->size() > TapeFileCodec::maximumArtworkBytes) return;
    const QByteArray bytes = QByteArray::fromStdString(*read);
    const FileData data(*read);

    // Checked as displayed: a photo stored sideways with an orientation tag is upright on screen.
    const QImage image = decodeImage(data);
    if (image.isNull()) return;

    const ArtworkCheck result = check(role.value_or(ArtworkRole::jcardFront), image.width(), image.height());
    if (result.kind == ArtworkCheck::Kind::wrongAspect) {
        raiseAlert(QStringLiteral("Wrong proportions"),
                   QString::asprintf("This slot needs an aspect ratio of %.3f (width \u00F7 height); the image is "
                                     "%.3f. NORVO artwork must match the physical size \u2014 see ",
                                     result.expected, result.actual) +
                       QStringLiteral("section 12 of the NORVO cassette format."));
        return;
    }
    if (result.kind == ArtworkCheck::Kind::tooSmall) {
        raiseAlert(QStringLiteral("Image is small"),
                   QStringLiteral("It was added, but it is below the NORVO minimum of %1 \u00D7 %2 px and may look soft.")
                       .arg(result.minimumWidth)
                       .arg(result.minimumHeight));
    }

    static const QByteArray pngSignature("\x89PNG", 4);
    if (TapeFileCodec::imageExtension(data) == "jpg" || bytes.startsWith(pngSignature)) {
        accepted(data);
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || png.isEmpty()) return;
    accepted(FileData(std::string_view(png.constData(), std::size_t(png.size()))));
}

// MARK: - Tape sounds

void StudioModel::applyTapeSound(TapeSoundLibrary library) {
    tapeSound_ = std::move(library);
    emit tapeSoundChanged();
    core_->setTapeSound(tapeSound_.selected ? &*tapeSound_.selected : nullptr);
}

void StudioModel::selectTapeSound(const std::string& id) {
    if (tapeSound_.selectedID() == id) return;
    TapeSoundLibrary copy = tapeSound_;
    copy.select(id);
    applyTapeSound(std::move(copy));
}

void StudioModel::importTapeSound(const std::filesystem::path& path) {
    const QString cannotUse = QStringLiteral("Cannot use this tape sound");
    std::string bytes;
    try {
        bytes = SoundProfile::readFile(path);
    } catch (const std::exception& error) {
        raiseAlert(cannotUse, QString::fromUtf8(error.what()));
        return;
    }

    TapeSoundLibrary copy = tapeSound_;
    std::optional<SoundProfile::ParseResult> result;
    QString failure;
    try {
        result = copy.importProfile(bytes);
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    applyTapeSound(std::move(copy));
    if (!result) {
        raiseAlert(cannotUse, failure);
        return;
    }
    if (result->warnings.empty()) return;
    QStringList lines;
    for (const auto& issue : result->warnings)
        lines << QStringLiteral("\u2022 ") + ShownText::inSentence(issue.path) + QStringLiteral(": ") +
                     qText(issue.message);
    raiseAlert(QChar(0x201C) + ShownText::inSentence(result->profile.name) + QStringLiteral("\u201D was adjusted"),
               QStringLiteral("Some values were ignored or brought into range:\n") + lines.join(QLatin1Char('\n')));
}

void StudioModel::chooseTapeSoundToImport() {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::importTapeSound;
    panel.message = QStringLiteral("Choose a NORVO Sound profile (.nvsound)");
    panel.nameFilters = {StudioDocumentTypes::soundNameFilter()};
    panel.mimeTypes = {StudioDocumentTypes::soundMimeType()};
    const auto files = services_.ui.runOpenPanel(panel);
    if (!files.empty()) importTapeSound(files.front());
}

void StudioModel::exportTapeSound() {
    if (!tapeSound_.selected) return;
    // A copy: the library may change while the modal panel runs.
    const SoundProfile profile = *tapeSound_.selected;
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::exportTapeSound;
    panel.nameFilters = {StudioDocumentTypes::soundNameFilter()};
    panel.mimeTypes = {StudioDocumentTypes::soundMimeType()};
    panel.canCreateDirectories = true;
    panel.proposedName = qText(profile.suggestedFileName());
    const auto target = services_.ui.runSavePanel(panel);
    if (!target) return;

    const QString failure = LocalFile::replace(*target, profile.encodedData());
    if (!failure.isEmpty()) raiseAlert(QStringLiteral("Cannot export the tape sound"), failure);
}

void StudioModel::removeImportedTapeSound(const std::string& id) {
    TapeSoundLibrary copy = tapeSound_;
    copy.remove(id);
    applyTapeSound(std::move(copy));
}

}  // namespace norvo
