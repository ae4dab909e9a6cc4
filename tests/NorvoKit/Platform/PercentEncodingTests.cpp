#include "Platform/PercentEncoding.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace norvo {
namespace {

TEST(PercentEncodingTest, EscapesEverythingButUnreservedCharacters) {
    EXPECT_EQ(PercentEncoding::encodeComponent("AC/DC & Friends +1"), "AC%2FDC%20%26%20Friends%20%2B1");
    EXPECT_EQ(PercentEncoding::encodeComponent("a-b.c_d~e"), "a-b.c_d~e");
    EXPECT_EQ(PercentEncoding::encodeComponent("Café=?#%"), "Caf%C3%A9%3D%3F%23%25");
}

TEST(PercentEncodingTest, PathKeepsItsSeparators) {
    EXPECT_EQ(PercentEncoding::encodePath("/json/url/ab cd/+"), "/json/url/ab%20cd/%2B");
}

TEST(PercentEncodingTest, QueryKeepsItemOrderAndIsEmptyWithoutItems) {
    EXPECT_EQ(PercentEncoding::encodeQuery({{"name", "a&b=c"}, {"limit", "400"}}), "name=a%26b%3Dc&limit=400");
    EXPECT_EQ(PercentEncoding::encodeQuery({}), "");
}

TEST(PercentEncodingTest, DecodingGivesBackTheBytes) {
    const std::vector<std::string> texts{"AC/DC & Friends +1", "Café ♫", "100% + 50%", std::string("\0\x7f\xff", 3)};
    for (const std::string& text : texts)
        EXPECT_EQ(PercentEncoding::decode(PercentEncoding::encodeComponent(text)), text);
    EXPECT_EQ(PercentEncoding::decode("a+b%2"), "a+b%2");
}

}  // namespace
}  // namespace norvo
