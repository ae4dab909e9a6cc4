#include "ModelDeck.hpp"

#include "Rack/TapeSoundMenuItems.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

ModelDeck::ModelDeck(StudioModel& model, const Clock& clock, QObject* parent)
    : DeckFacade(parent), model_(model), clock_(clock) {
    // Every announcement only schedules a re-read; nothing here calls back into an engine.
    // What the face re-reads rarely is announced first, so a re-read on `changed` finds it new.
    connect(&model_, &StudioModel::documentChanged, this, &DeckFacade::cassetteChanged);
    connect(&model_, &StudioModel::imagesChanged, this, &DeckFacade::cassetteChanged);
    connect(&model_, &StudioModel::tapeSoundChanged, this, &DeckFacade::tapeSoundChanged);
    for (auto signal : {&StudioModel::documentChanged, &StudioModel::imagesChanged, &StudioModel::mediaChanged,
                        &StudioModel::busyChanged, &StudioModel::counterOffsetChanged, &StudioModel::deckInputChanged,
                        &StudioModel::tapeSoundChanged, &StudioModel::modelChanged, &StudioModel::outputLossChanged})
        connect(&model_, signal, this, &DeckFacade::changed);
    connect(&model_.live(), &LiveDeck::snapshotChanged, this, &DeckFacade::changed);
    connect(&model_.live(), &LiveDeck::deckMeterChanged, this, &DeckFacade::changed);
    connect(&model_, &StudioModel::recordLevelChanged, this, &DeckFacade::recordLevelChanged);
    connect(&model_, &StudioModel::deckVolumeChanged, this, &DeckFacade::deckVolumeChanged);
}

const std::optional<CassetteDocument>& ModelDeck::document() const { return model_.editor().document(); }

const DeckFacade::Images& ModelDeck::images() const { return model_.editor().images(); }

const CassetteTransport& ModelDeck::transport() const { return model_.live().snapshot().transport; }

const MeterBallistics::Pair& ModelDeck::meters() const { return model_.live().deckMeter(); }

std::optional<int64_t> ModelDeck::recordedFrames(TapeSide side) const {
    const auto& media = model_.cassetteSlot().media();
    if (!media) return std::nullopt;
    return media->used(side);
}

double ModelDeck::counterOffset() const { return model_.cassetteSlot().counterOffset(); }

DeckInput ModelDeck::deckInput() const { return model_.deckInput(); }

double ModelDeck::recordLevel() const { return model_.recordLevel(); }

double ModelDeck::deckVolume() const { return model_.deckVolume(); }

std::optional<std::string> ModelDeck::tapeSoundName() const {
    const auto& selected = model_.tapeSounds().library().selected;
    if (!selected) return std::nullopt;
    return selected->name;
}

std::optional<DeckFacade::Busy> ModelDeck::busy() const {
    const auto& busy = model_.cassetteSlot().busy();
    if (!busy) return std::nullopt;
    return Busy{busy->message, busy->progress};
}

std::optional<QString> ModelDeck::outputLoss() const { return model_.outputLoss(); }

void ModelDeck::send(TransportCommand command) { model_.transport(command); }

void ModelDeck::eject() { model_.cassetteSlot().eject(); }

void ModelDeck::resetCounter() { model_.resetCounter(); }

void ModelDeck::setDeckInput(DeckInput input) { model_.setDeckInput(input); }

void ModelDeck::setRecordLevel(double level) { model_.setRecordLevel(level); }

void ModelDeck::setDeckVolume(double volume) { model_.setDeckVolume(volume); }

void ModelDeck::advanceWriteProtect(TapeSide side) { model_.editor().advanceWriteProtect(side); }

void ModelDeck::open(const std::filesystem::path& file) { model_.open(file); }

void ModelDeck::showDesigner() { model_.setShowingDesigner(true); }

void ModelDeck::fillTapeSoundMenu(QMenu& menu) { TapeSoundMenuItems::fill(menu, model_); }

}  // namespace norvo
