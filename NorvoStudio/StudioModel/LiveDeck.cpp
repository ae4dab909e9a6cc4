#include "StudioModel/LiveDeck.hpp"

#include "AudioEngine/AudioCore.hpp"

namespace norvo {

LiveDeck::LiveDeck(const CoreSnapshot& snapshot, QObject* parent) : QObject(parent), snapshot_(snapshot) {}

void LiveDeck::update(const CoreSnapshot& snapshot, double dt) {
    if (!(snapshot == snapshot_)) {
        snapshot_ = snapshot;
        emit snapshotChanged();
    }
    deckMeter_.left.step(snapshot.deckLevel.left, dt);
    deckMeter_.right.step(snapshot.deckLevel.right, dt);
    sourceMeter_.left.step(snapshot.sourceLevel.left, dt);
    sourceMeter_.right.step(snapshot.sourceLevel.right, dt);
    tunerMeter_.left.step(snapshot.tunerLevel.left, dt);
    tunerMeter_.right.step(snapshot.tunerLevel.right, dt);
    emit deckMeterChanged();
    emit sourceMeterChanged();
    emit tunerMeterChanged();
}

void LiveDeck::refresh(AudioCore& core) { update(core.snapshot(AudioCore::Peaks::keep), 0); }

}  // namespace norvo
