#pragma once
#include <QObject>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Uuid.hpp"
#include "SourcePlayer/SourcePlayerEngine.hpp"
#include "SourcePlayer/SourceTrack.hpp"
#include "StudioModel/MeterBallistics.hpp"

namespace norvo {

// What the DA-2 face reads of the player and asks of it. The application's one is the
// engine with the studio's player meters and file chooser (EnginePlayer); tests put a
// scripted one in. `changed` is emitted after every change of the player or its meters;
// the face re-reads then and never calls back from inside it.
class PlayerFacade : public QObject {
    Q_OBJECT
public:
    using State = SourcePlayerEngine::State;
    using TracksChange = SourcePlayerEngine::TracksChange;

    using QObject::QObject;

    virtual const std::vector<SourceTrack>& tracks() const = 0;
    // Which rows the latest announced change of `tracks` touched.
    virtual const TracksChange& lastTracksChange() const = 0;
    virtual const std::optional<Uuid>& selection() const = 0;
    virtual const std::optional<Uuid>& currentTrackID() const = 0;
    virtual State state() const = 0;
    virtual int64_t position() const = 0;
    virtual int64_t duration() const = 0;
    virtual const std::optional<std::string>& lastError() const = 0;
    virtual float volume() const = 0;
    // The player's level meters.
    virtual const MeterBallistics::Pair& levels() const = 0;

    virtual void setSelection(std::optional<Uuid> id) = 0;
    virtual void setVolume(float volume) = 0;
    virtual void togglePlayPause() = 0;
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    virtual void seek(int64_t frame) = 0;
    virtual void play(const Uuid& id) = 0;
    virtual void remove(const std::set<Uuid>& ids) = 0;
    // A drag of rows: `toOffset` counts positions before the move.
    virtual void move(const std::set<std::size_t>& fromOffsets, std::size_t toOffset) = 0;
    virtual void add(const std::vector<std::filesystem::path>& files) = 0;
    // The open panel for audio files; the chosen ones are added.
    virtual void chooseFiles() = 0;

signals:
    void changed();
};

}  // namespace norvo
