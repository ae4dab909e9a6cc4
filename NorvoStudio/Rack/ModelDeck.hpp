#pragma once
#include "Rack/DeckFacade.hpp"

namespace norvo {

class StudioModel;

// The deck face's view of the studio model and its live deck.
class ModelDeck final : public DeckFacade {
    Q_OBJECT
public:
    // `clock` and `model` outlive the deck.
    ModelDeck(StudioModel& model, const Clock& clock, QObject* parent = nullptr);

    const std::optional<CassetteDocument>& document() const override;
    const Images& images() const override;
    const CassetteTransport& transport() const override;
    const MeterBallistics::Pair& meters() const override;
    std::optional<int64_t> recordedFrames(TapeSide side) const override;
    double counterOffset() const override;
    DeckInput deckInput() const override;
    double recordLevel() const override;
    double deckVolume() const override;
    std::optional<std::string> tapeSoundName() const override;
    std::optional<Busy> busy() const override;
    std::optional<QString> outputLoss() const override;
    Date now() const override { return clock_.now(); }

    void send(TransportCommand command) override;
    void eject() override;
    void resetCounter() override;
    void setDeckInput(DeckInput input) override;
    void setRecordLevel(double level) override;
    void setDeckVolume(double volume) override;
    void advanceWriteProtect(TapeSide side) override;
    void open(const std::filesystem::path& file) override;
    void showDesigner() override;
    void fillTapeSoundMenu(QMenu& menu) override;

private:
    StudioModel& model_;
    const Clock& clock_;
};

}  // namespace norvo
