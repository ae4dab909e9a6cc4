#pragma once
#include <QObject>

#include "AudioEngine/CoreSnapshot.hpp"
#include "StudioModel/MeterBallistics.hpp"

namespace norvo {

class AudioCore;

// What the views draw of the audio core: the latest snapshot and three stereo meters.
// Refreshed by the studio model on every tick and right after transport commands,
// inserting and ejecting. Main thread only.
class LiveDeck final : public QObject {
    Q_OBJECT
public:
    explicit LiveDeck(const CoreSnapshot& snapshot, QObject* parent = nullptr);

    const CoreSnapshot& snapshot() const { return snapshot_; }
    const MeterBallistics::Pair& deckMeter() const { return deckMeter_; }
    const MeterBallistics::Pair& sourceMeter() const { return sourceMeter_; }
    const MeterBallistics::Pair& tunerMeter() const { return tunerMeter_; }

    // Publishes the snapshot only when it differs; steps the three meters by dt seconds
    // and announces them on every call.
    void update(const CoreSnapshot& snapshot, double dt);
    // Takes the core's state right after a command, leaving its peaks to the next tick.
    void refresh(AudioCore& core);

signals:
    // The snapshot's frame counters change on every render: compare what you draw.
    void snapshotChanged();
    void deckMeterChanged();
    void sourceMeterChanged();
    void tunerMeterChanged();

private:
    CoreSnapshot snapshot_;
    MeterBallistics::Pair deckMeter_;
    MeterBallistics::Pair sourceMeter_;
    MeterBallistics::Pair tunerMeter_;
};

}  // namespace norvo
