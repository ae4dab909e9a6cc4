#pragma once
#include "Rack/PlayerFacade.hpp"

namespace norvo {

class StudioModel;

// The player face's facade over the studio's player: reads and operations forward to the
// engine, the meters come from the live deck and the file chooser from the model. The
// model's and the live deck's announcements become `changed`.
class EnginePlayer final : public PlayerFacade {
    Q_OBJECT
public:
    explicit EnginePlayer(StudioModel& model, QObject* parent = nullptr);

    const std::vector<SourceTrack>& tracks() const override { return engine_.tracks(); }
    const TracksChange& lastTracksChange() const override { return engine_.lastTracksChange(); }
    const std::optional<Uuid>& selection() const override { return engine_.selection(); }
    const std::optional<Uuid>& currentTrackID() const override { return engine_.currentTrackID(); }
    State state() const override { return engine_.state(); }
    int64_t position() const override { return engine_.position(); }
    int64_t duration() const override { return engine_.duration(); }
    const std::optional<std::string>& lastError() const override { return engine_.lastError(); }
    float volume() const override { return engine_.volume(); }
    const MeterBallistics::Pair& levels() const override;

    void setSelection(std::optional<Uuid> id) override { engine_.setSelection(id); }
    void setVolume(float volume) override { engine_.setVolume(volume); }
    void togglePlayPause() override { engine_.togglePlayPause(); }
    void stop() override { engine_.stop(); }
    void next() override { engine_.next(); }
    void previous() override { engine_.previous(); }
    void seek(int64_t frame) override { engine_.seek(frame); }
    void play(const Uuid& id) override { engine_.play(id); }
    void remove(const std::set<Uuid>& ids) override { engine_.remove(ids); }
    void move(const std::set<std::size_t>& fromOffsets, std::size_t toOffset) override {
        engine_.move(fromOffsets, toOffset);
    }
    void add(const std::vector<std::filesystem::path>& files) override { engine_.add(files); }
    void chooseFiles() override;

private:
    StudioModel& model_;
    SourcePlayerEngine& engine_;
};

}  // namespace norvo
