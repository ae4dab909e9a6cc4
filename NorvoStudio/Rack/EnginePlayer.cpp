#include "Rack/EnginePlayer.hpp"

#include "StudioModel/StudioModel.hpp"

namespace norvo {

EnginePlayer::EnginePlayer(StudioModel& model, QObject* parent)
    : PlayerFacade(parent), model_(model), engine_(model.source()) {
    connect(&model_, &StudioModel::sourceChanged, this, &PlayerFacade::changed);
    connect(&model_.live(), &LiveDeck::sourceMeterChanged, this, &PlayerFacade::changed);
}

const MeterBallistics::Pair& EnginePlayer::levels() const { return model_.live().sourceMeter(); }

void EnginePlayer::chooseFiles() { model_.chooseSourceFiles(); }

}  // namespace norvo
