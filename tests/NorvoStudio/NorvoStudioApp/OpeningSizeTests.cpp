#include "NorvoStudioApp/OpeningSize.hpp"

#include <gtest/gtest.h>

namespace norvo {
namespace {

// The default size cut to the screen's free area and the frame, a saved size kept where it fits,
// and never less than the least the window allows (924 × 718 here).
TEST(OpeningSize, OpensAsLargeAsFitsDownToTheLeastTheRackAllows) {
    const auto opens = [](QSize available, QMargins frame, std::optional<QSize> saved) {
        return OpeningSize{available, frame, saved, QSize(1232, 948), QSize(924, 718)}.fitted();
    };
    EXPECT_EQ(opens({1920, 1050}, {}, {}), QSize(1232, 948));
    EXPECT_EQ(opens({1400, 820}, {}, {}), QSize(1232, 820));
    EXPECT_EQ(opens({1366, 768}, {1, 30, 1, 1}, {}), QSize(1232, 737));
    EXPECT_EQ(opens({800, 600}, {}, {}), QSize(924, 718));
    EXPECT_EQ(opens({1366, 768}, {}, QSize(1000, 740)), QSize(1000, 740));
    EXPECT_EQ(opens({1366, 768}, {}, QSize(1800, 1100)), QSize(1366, 768));
}

}  // namespace
}  // namespace norvo
