#include "StudioModel/StudioModel.hpp"

#include <algorithm>
#include <cmath>

#include "AudioEngine/FallbackAudioOutput.hpp"
#include "AudioEngine/ReelGeometry.hpp"
#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"

namespace norvo {

StudioModel::StudioModel(StudioServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)), core_(std::make_unique<AudioCore>()) {
    lastTick_ = services_.executor.now();
    alerts_ = std::make_unique<AlertSlot>();
    title_ = std::make_unique<WindowTitle>();
    shelf_ = std::make_unique<TapeSoundShelf>(services_.defaults, *core_, services_.ui, *alerts_);
    source_ = std::make_unique<SourcePlayerEngine>(*core_, services_.sourceStreams, services_.executor);
    tuner_ = std::make_unique<TunerEngine>(*core_, services_.defaults, services_.tunerDirectory, services_.tunerStreams,
                                           services_.executor, services_.locale);
    live_ = std::make_unique<LiveDeck>(core_->snapshot(AudioCore::Peaks::reset));
    editor_ = std::make_unique<DocumentEditor>(services_.ui, *services_.clock, *title_, *alerts_);
    log_ = std::make_unique<RecordingLog>(
        *editor_, *source_, *tuner_, [this] { return deckInput_; }, *services_.clock);
    slot_ = std::make_unique<CassetteSlot>(services_, *core_, *live_, *editor_, *log_, *title_, *alerts_);
    recovery_ = std::make_unique<CassetteRecovery>(services_, *core_, *slot_, *editor_, *log_, *title_, *alerts_);

    // The deck input is not pushed: the core starts on the player as the model does.
    core_->setDeckVolume(static_cast<float>(deckVolume_));
    pushRecordGain();

    // What the collaborators announce, the model announces; connected after their own
    // connections, so they are up to date when the views hear of a change.
    connect(alerts_.get(), &AlertSlot::changed, this, &StudioModel::alertChanged);
    connect(shelf_.get(), &TapeSoundShelf::changed, this, &StudioModel::tapeSoundChanged);
    connect(editor_.get(), &DocumentEditor::documentChanged, this, &StudioModel::documentChanged);
    connect(editor_.get(), &DocumentEditor::imagesChanged, this, &StudioModel::imagesChanged);
    connect(editor_.get(), &DocumentEditor::bookletImagesChanged, this, &StudioModel::bookletImagesChanged);
    connect(editor_.get(), &DocumentEditor::metadataEditedChanged, this, &StudioModel::metadataEditedChanged);
    connect(editor_.get(), &DocumentEditor::edited, this, &StudioModel::pushWriteProtection);
    connect(slot_.get(), &CassetteSlot::mediaChanged, this, &StudioModel::mediaChanged);
    connect(slot_.get(), &CassetteSlot::fileUrlChanged, this, &StudioModel::fileUrlChanged);
    connect(slot_.get(), &CassetteSlot::busyChanged, this, &StudioModel::busyChanged);
    connect(slot_.get(), &CassetteSlot::counterOffsetChanged, this, &StudioModel::counterOffsetChanged);

    sourceObservation_ = source_->observe([this] { emit sourceChanged(); });
    tunerObservation_ = tuner_->observe([this] { emit tunerChanged(); });
}

StudioModel::~StudioModel() {
    services_.defaults.reportWriteFailure({});
    *alive_ = false;
    if (ticker_) ticker_->stop();
    // The output renders the core: it goes first.
    if (output_) output_->stop();
    output_.reset();
    // Saves and releases still running use the media and the services: they end first.
    recovery_.reset();
    slot_.reset();
    sourceObservation_.reset();
    tunerObservation_.reset();
}

// MARK: - Published values

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

float StudioModel::recordGain(double level) { return static_cast<float>(std::pow(10.0, (level * 18.0 - 12.0) / 20.0)); }

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

bool StudioModel::isCassetteIdle() const {
    return editor_->document().has_value() && !slot_->busy() && !isRecordingOrArmed(live_->snapshot().transport.mode);
}

void StudioModel::pushWriteProtection() {
    const CassetteDocument& document = *editor_->document();
    core_->setWriteProtected(protectsSide(document.sideA.writeProtect), TapeSide::a);
    core_->setWriteProtected(protectsSide(document.sideB.writeProtect), TapeSide::b);
}

// MARK: - Start, open, shutdown

void StudioModel::start() {
    if (ticker_) return;
    recovery_->offerRecoveries();

    try {
        output_ = services_.makeOutput ? services_.makeOutput(*core_) : std::make_unique<FallbackAudioOutput>(*core_);
        if (output_) output_->start();
    } catch (const std::exception& error) {
        alerts_->raise(QStringLiteral("No audio output"), QString::fromUtf8(error.what()));
    }
    if (const auto notice = services_.defaults.resetNotice())
        alerts_->notice(QStringLiteral("Settings were reset"), QString::fromStdString(*notice));
    services_.defaults.reportWriteFailure([this, executor = &services_.executor,
                                           alive = std::weak_ptr<bool>(alive_)](const std::string& reason) {
        executor->post([this, alive, reason] {
            if (!alive.expired())
                alerts_->notice(QStringLiteral("Settings cannot be saved"), QString::fromStdString(reason));
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
        const std::string extension = StudioDocumentTypes::extensionOf(file);
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
    const std::string extension = StudioDocumentTypes::extensionOf(file);
    if (extension == std::string(SoundProfile::fileExtension)) {
        shelf_->importProfile(file);
        if (done) done(true);
    } else if (extension == TapeFileCodec::fileExtension) {
        slot_->open(file, std::move(done));
    } else {
        source_->add({file});
        if (done) done(true);
    }
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

void StudioModel::followOutput() {
    if (!output_) return;
    bool changed = false;
    if (const uint64_t losses = output_->deviceLosses(); losses != noticedOutputLosses_) {
        noticedOutputLosses_ = losses;
        outputLoss_ = QString::fromStdString(output_->lastDeviceLoss());
        changed = true;
        // A studio that has had no sound since it started says so once. Learnt on a tick,
        // possibly after a failure of the user's own (a cassette handed over at launch): it
        // waits its turn instead of hiding that.
        if (!outputPlayed_) alerts_->notice(QStringLiteral("No audio output"), *outputLoss_);
    }
    if (output_->playsOnDevice()) {
        // The sound is back: an alert saying there is none would only take the next key.
        if (!outputPlayed_) alerts_->withdraw(QStringLiteral("No audio output"));
        outputPlayed_ = true;
        changed = changed || outputLoss_.has_value();
        outputLoss_.reset();
    }
    if (changed) emit outputLossChanged();
}

void StudioModel::shutdownSteps() {
    shutDown_ = true;
    slot_->saveTapePosition();
    tuner_->powerOff();
    if (output_) output_->stop();
    output_.reset();
    services_.defaults.flush();
}

void StudioModel::shutdown() {
    if (shutDown_) return;
    shutdownSteps();
    recovery_->discardLoaded();
}

void StudioModel::terminate() {
    if (shutDown_) return;
    // After the output stopped: nothing is recorded past what the copy says.
    shutdownSteps();
    recovery_->keepLoaded();
}

StudioModel::QuitReply StudioModel::requestQuit(Completion deferred) {
    if (slot_->saving()) {
        // The running save writes the cassette; a second write of the same file would
        // race it. Decide again once it ended.
        slot_->afterSave([this, deferred](bool ok) {
            if (!ok) {
                if (deferred) deferred(false);
                return;
            }
            switch (requestQuit(deferred)) {
            case QuitReply::now:
                if (deferred) deferred(true);
                break;
            case QuitReply::cancel:
                if (deferred) deferred(false);
                break;
            case QuitReply::later: break;
            }
        });
        return QuitReply::later;
    }
    struct Progress {
        bool returned = false;
        std::optional<bool> early;  // a result reported before this call returned
    };
    auto progress = std::make_shared<Progress>();
    slot_->guardedReplacement(
        [this](Completion done) {
            shutdown();
            done(true);
        },
        [progress, deferred](bool quits) {
            if (!progress->returned) progress->early = quits;
            else if (deferred) deferred(quits);
        });
    progress->returned = true;
    if (!progress->early) return QuitReply::later;
    return *progress->early ? QuitReply::now : QuitReply::cancel;
}

// MARK: - The tick

void StudioModel::tick() {
    const double now = services_.executor.now();
    const double dt = std::clamp(now - lastTick_, 0.0, largestTimeStep);
    lastTick_ = now;

    const CoreSnapshot snapshot = core_->snapshot(AudioCore::Peaks::reset);
    source_->poll(snapshot);
    tuner_->tick();
    live_->update(snapshot, dt);

    const TransportMode mode = snapshot.transport.mode;
    followSources(isRecordingOrArmed(mode));
    log_->followStationLock(snapshot.transport.head);

    followOutput();
    log_->observePass(snapshot.recordingPass, mode);
    const auto& cassette = snapshot.transport.cassette;
    if (mode == TransportMode::recording)
        log_->logTrackIfNeeded(cassette ? std::optional<TapeSide>(cassette->side) : std::nullopt,
                               snapshot.transport.head);

    if (mode != lastMode_) {
        if (lastMode_ == TransportMode::recording) log_->recordingStopped();
        lastMode_ = mode;
        emit modelChanged();
    }
    // Recording makes the cassette unsaved without any edit; every other change to the
    // title announces itself.
    if (const bool unsaved = slot_->hasUnsavedChanges(); unsaved != tickSawUnsaved_) {
        tickSawUnsaved_ = unsaved;
        title_->noteMaybeChanged();
    }
    if (!shutDown_) recovery_->noteChanges();
}

void StudioModel::followSources(bool armed) {
    const bool playerStarted = source_->state() == SourcePlayerEngine::State::playing &&
                               lastSourceState_ != SourcePlayerEngine::State::playing;
    bool stationChanged = false;
    if (const auto& station = tuner_->station(); tuner_->isOn() && station) {
        stationChanged = !lastTunerStation_ || *lastTunerStation_ != station->id;
        if (stationChanged) lastTunerStation_ = station->id;
    } else {
        lastTunerStation_.reset();
    }
    lastSourceState_ = source_->state();
    if (armed) return;
    if (playerStarted) {
        if (deckInput_ != DeckInput::sourcePlayer) setDeckInput(DeckInput::sourcePlayer);
    } else if (stationChanged) {
        if (deckInput_ != DeckInput::tuner) setDeckInput(DeckInput::tuner);
    }
}

// MARK: - Deck commands

void StudioModel::transport(TransportCommand command) {
    if (slot_->busy() && command != TransportCommand::stop && command != TransportCommand::endWind) return;
    const bool accepted = core_->transport(command);
    const auto& document = editor_->document();
    if (command == TransportCommand::record && !accepted && document) {
        const auto& cassette = live_->snapshot().transport.cassette;
        if (cassette && document->side(cassette->side).writeProtect == WriteProtect::broken) services_.ui.beep();
    }
    live_->refresh(*core_);
}

void StudioModel::resetCounter() {
    const auto& document = editor_->document();
    if (!document) return;
    slot_->setCounterOffset(ReelGeometry{document->type}.turns(live_->snapshot().transport.head));
}

}  // namespace norvo
