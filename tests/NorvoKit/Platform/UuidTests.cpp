#include "Platform/Uuid.hpp"

#include <gtest/gtest.h>
#include <set>

namespace norvo {
namespace {

TEST(Uuid, RandomIsVersion4InLowerCase) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string text = Uuid::random().text();
        ASSERT_EQ(text.size(), 36u);
        for (std::size_t at : {8u, 13u, 18u, 23u}) EXPECT_EQ(text[at], '-');
        for (char c : text) EXPECT_TRUE(c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << text;
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(Uuid, ParsesEitherCaseAndWritesItBack) {
    const auto uuid = Uuid::parse("1B4E28BA-2FA1-41D2-883F-0016D3CCA427");
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->text(), "1b4e28ba-2fa1-41d2-883f-0016d3cca427");
    EXPECT_EQ(uuid->upperText(), "1B4E28BA-2FA1-41D2-883F-0016D3CCA427");
    EXPECT_EQ(uuid->bytes[0], 0x1B);
    EXPECT_EQ(uuid->bytes[15], 0x27);
    EXPECT_EQ(Uuid::parse(uuid->text()), uuid);
}

TEST(Uuid, RefusesMalformedText) {
    for (const char* text : {"", "1b4e28ba2fa141d2883f0016d3cca427", "1b4e28ba-2fa1-41d2-883f-0016d3cca42",
                             "1b4e28ba-2fa1-41d2-883f-0016d3cca4277", "1b4e28ba-2fa1-41d2-883f_0016d3cca427",
                             "1b4e28ba-2fa1-41d2-883f-0016d3cca42g", "{b4e28ba-2fa1-41d2-883f-0016d3cca42}"}) {
        EXPECT_EQ(Uuid::parse(text), std::nullopt) << text;
        EXPECT_FALSE(Uuid::isUuidText(text));
    }
}

}  // namespace
}  // namespace norvo
