#pragma once
#include <QMenu>
#include <chrono>
#include <string>

#include "Rack/DeckFacade.hpp"

namespace norvo::test {

// A deck whose published state the test sets; its commands change nothing but the knobs'
// values. After changing the state the test calls announce(), as the studio does after each
// of its changes.
class FakeDeck final : public DeckFacade {
public:
    const std::optional<CassetteDocument>& document() const override { return cassette; }
    const Images& images() const override { return artwork; }
    const CassetteTransport& transport() const override { return live; }
    const MeterBallistics::Pair& meters() const override { return levels; }
    std::optional<int64_t> recordedFrames(TapeSide) const override { return recorded; }
    double counterOffset() const override { return offset; }
    DeckInput deckInput() const override { return input; }
    double recordLevel() const override { return level; }
    double deckVolume() const override { return volume; }
    std::optional<std::string> tapeSoundName() const override { return tapeSound; }
    std::optional<Busy> busy() const override { return work; }
    std::optional<QString> outputLoss() const override { return loss; }
    Date now() const override { return wallClock; }

    void send(TransportCommand) override {}
    void eject() override {}
    void resetCounter() override {}
    void setDeckInput(DeckInput) override {}
    void setRecordLevel(double value) override { level = value; }
    void setDeckVolume(double value) override { volume = value; }
    void advanceWriteProtect(TapeSide) override {}
    void open(const std::filesystem::path&) override {}
    void showDesigner() override {}
    void fillTapeSoundMenu(QMenu& menu) override {
        menu.clear();
        menu.addAction(QStringLiteral("Clean"));
    }

    void announce() {
        emit cassetteChanged();
        emit tapeSoundChanged();
        emit changed();
    }

    std::optional<CassetteDocument> cassette;
    Images artwork;
    CassetteTransport live;
    MeterBallistics::Pair levels;
    std::optional<int64_t> recorded;
    double offset = 0;
    DeckInput input = DeckInput::sourcePlayer;
    double level = 2.0 / 3.0;
    double volume = 0.8;
    std::optional<std::string> tapeSound;
    std::optional<Busy> work;
    std::optional<QString> loss;
    Date wallClock = Date{} + std::chrono::seconds(1'700'000'000);
};

}  // namespace norvo::test
