#include <gtest/gtest.h>

#include "NorvoStudio/Support/PngData.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

// Real engines, real threads for the cassette file: record a file from the player onto
// a new cassette, play it back, and watch the deck meters.
TEST(StudioEndToEndTest, RecordsFromThePlayerAndPlaysTheTapeBack) {
    StudioFixture::Options options;
    options.threadedBackground = true;
    StudioFixture f(options);
    f.start();
    f->cassetteSlot().newCassette(CassetteType::c60());
    ASSERT_TRUE(f.playSong(f.makeSong("Tone.wav", 3.0)));

    auto run = [&](double seconds) {
        double loudest = -60;
        for (int i = 0; i < int(seconds * 60); ++i) {
            f.render(735);
            f.tick();
            loudest = std::max(loudest, f->live().deckMeter().left.db);
        }
        return loudest;
    };
    f->transport(TransportCommand::record);
    EXPECT_GT(run(2.0), -12);
    f->transport(TransportCommand::stop);
    f->source().stop();
    f.tick();
    const int64_t recorded = f->cassetteSlot().media()->used(TapeSide::a);
    EXPECT_NEAR(double(recorded), 2.0 * 44100, 4410);
    EXPECT_EQ(f->editor().document()->sideA.markers.size(), 1u);

    f.rewindToStart();
    ASSERT_EQ(f->live().snapshot().transport.head, 0);
    f->transport(TransportCommand::stop);
    run(3.0);  // quiet: the meters settle at the floor
    EXPECT_EQ(f->live().deckMeter().left.db, -60);

    f->transport(TransportCommand::play);
    EXPECT_GT(run(1.0), -12);
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::playing);
    f->transport(TransportCommand::stop);
    run(3.0);
    EXPECT_EQ(f->live().deckMeter().left, (MeterBallistics::Channel{-60, -60, f->live().deckMeter().left.peakAge}));
    EXPECT_EQ(f->live().deckMeter().right.db, -60);

    // Saved on a worker thread and read back the same way, the artwork decoded there too.
    f->editor().setArtwork(test::pngData(QSize(2136, 1008), Qt::yellow), ArtworkRole::labelA);
    const auto file = f.directory / "Tape.norvo";
    std::optional<bool> saved;
    f->cassetteSlot().save(file, [&](bool ok) { saved = ok; });
    ASSERT_TRUE(f.settle([&] { return saved.has_value(); }));
    EXPECT_TRUE(*saved);
    f->cassetteSlot().eject();
    f->open(file);
    ASSERT_TRUE(f.settle([&] { return !f->cassetteSlot().busy(); }));
    ASSERT_TRUE(f->editor().document());
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::a), recorded);
    ASSERT_TRUE(f->editor().images().count(ArtworkRole::labelA));
    EXPECT_EQ(f->editor().images().at(ArtworkRole::labelA).size(), QSize(2136, 1008));
    EXPECT_FALSE(f->alerts().shown());
}

}  // namespace
}  // namespace norvo
