#include "Tuner/StationRow.hpp"

#include <gtest/gtest.h>

#include "NorvoStudio/Support/FakeTuner.hpp"

namespace norvo {
namespace {

TEST(StationRow, BadgesAreLeftOutNotLeftEmpty) {
    StationRow row{.index = 0, .station = test::makeStation(1), .tuned = false, .preset = 5, .showCountry = true};
    EXPECT_EQ(row.badges(), (QStringList{"P5", "DE", "MP3 128k"}));
    row.preset.reset();
    row.showCountry = false;
    EXPECT_EQ(row.badges(), (QStringList{"MP3 128k"}));
    row.showCountry = true;
    row.station.countryCode.clear();
    row.station.codec.clear();
    row.station.bitrate = 0;
    EXPECT_EQ(row.badges(), (QStringList{""}));  // the format is always there, even empty
}

}  // namespace
}  // namespace norvo
