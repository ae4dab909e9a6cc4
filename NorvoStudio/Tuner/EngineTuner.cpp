#include "Tuner/EngineTuner.hpp"

namespace norvo {

EngineTuner::EngineTuner(TunerEngine& engine, Locale locale, QObject* parent)
    : TunerFacade(parent), engine_(engine), locale_(std::move(locale)) {
    observation_ = engine_.observe([this] { emit changed(); });
}

}  // namespace norvo
