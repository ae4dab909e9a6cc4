#include <gtest/gtest.h>

#include <QRectF>
#include <utility>
#include <vector>

#include "Rack/DeckLayout.hpp"

namespace norvo {
namespace {

// Everything a user points at or reads stands inside the face and clear of everything else,
// at rest, with the busy line and with the no-sound line, which push the rows under them down.
TEST(DeckLayout, ThePanelsAndControlsStandInsideTheFaceAndClearOfOneAnother) {
    using Lines = std::pair<DeckLayout::BusyLine, DeckLayout::NoSoundLine>;
    for (const auto& [busyLine, noSoundLine] : {Lines{DeckLayout::BusyLine::hidden, DeckLayout::NoSoundLine::hidden},
                                                Lines{DeckLayout::BusyLine::shown, DeckLayout::NoSoundLine::hidden},
                                                Lines{DeckLayout::BusyLine::hidden, DeckLayout::NoSoundLine::shown},
                                                Lines{DeckLayout::BusyLine::shown, DeckLayout::NoSoundLine::shown}}) {
        const DeckLayout l(busyLine, noSoundLine);
        const std::vector<std::pair<const char*, QRectF>> areas{
            {"lamps", l.recLed.united(l.tapeRunText)},
            {"well", l.well},
            {"display", l.display},
            {"tape map", l.mapCaption.united(l.mapStrip)},
            {"INPUT", l.inputCaption.united(l.inputPlayer).united(l.inputTuner)},
            {"TAPE SOUND", l.soundCaption.united(l.soundKey)},
            {"EJECT", l.ejectKey},
            {"REC", l.recordKey},
            {"REW", l.rewindKey},
            {"PLAY", l.playKey},
            {"FF", l.forwardKey},
            {"STOP", l.stopKey},
            {"A ⇄ B", l.flipKey},
            {"REC LEVEL", l.recordKnob},
            {"OUTPUT", l.outputKnob},
        };
        const QRectF face(0, 0, DeckLayout::designWidth, l.height);
        for (std::size_t i = 0; i < areas.size(); ++i) {
            EXPECT_FALSE(areas[i].second.isEmpty()) << areas[i].first;
            EXPECT_TRUE(face.contains(areas[i].second)) << areas[i].first;
            for (std::size_t j = i + 1; j < areas.size(); ++j)
                EXPECT_FALSE(areas[i].second.intersects(areas[j].second))
                    << areas[i].first << " and " << areas[j].first;
        }
        const QRectF content(l.content);
        for (const QRectF& readout : {l.counter, l.resetKey, l.sideB, l.timeRow, l.status, l.meterR, l.scale})
            EXPECT_TRUE(content.contains(readout));
        EXPECT_TRUE(l.well.contains(l.cassette));
        EXPECT_TRUE(l.cassette.contains(l.reels));
        if (noSoundLine == DeckLayout::NoSoundLine::shown) {
            EXPECT_TRUE(content.contains(l.noSound));
            EXPECT_LT(l.noSound.bottom(), l.status.top()) << "above the status, not over it";
            EXPECT_GT(l.noSound.top(), l.timeRow.bottom());
        }
        if (busyLine == DeckLayout::BusyLine::shown) {
            EXPECT_TRUE(content.contains(l.busyMessage.united(l.busyBar)));
            EXPECT_GT(l.busyMessage.top(), l.scale.bottom());
            EXPECT_GT(l.height, DeckLayout().height);
        }
    }
}

}  // namespace
}  // namespace norvo
