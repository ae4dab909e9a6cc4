#include <gtest/gtest.h>

#include <vector>

#include "StudioModel/AlertSlot.hpp"

namespace norvo {
namespace {

// Dismisses until the slot is empty, returning the titles in the order they were shown.
std::vector<QString> drain(AlertSlot& slot) {
    std::vector<QString> titles;
    while (slot.shown()) {
        titles.push_back(slot.shown()->title);
        slot.dismiss();
    }
    return titles;
}

TEST(AlertSlotTest, NoticesWaitTheirTurnAndTheSameNoticeIsNotRepeated) {
    AlertSlot slot;
    slot.notice("No audio output", "gone");
    slot.raise("Cannot open cassette", "broken");
    slot.notice("No audio output", "gone");  // the output noticed again meanwhile
    slot.notice("Settings were reset", "kept aside");
    slot.raise("Cannot save cassette", "full");  // replaces the alert, not the notices
    EXPECT_EQ(drain(slot), (std::vector<QString>{"Cannot save cassette", "No audio output", "Settings were reset"}));

    slot.notice("No audio output", "gone");
    slot.notice("No audio output", "back and gone again");  // a different sentence is news
    EXPECT_EQ(drain(slot), (std::vector<QString>{"No audio output", "No audio output"}));
}

}  // namespace
}  // namespace norvo
