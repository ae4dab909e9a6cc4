#include <gtest/gtest.h>

#include "Cassette/TapePositionStore.hpp"
#include "Platform/Iso8601.hpp"
#include "Platform/JSONValue.hpp"

namespace norvo {
namespace {

const Uuid cassette = *Uuid::parse("1b4e28ba-2fa1-41d2-883f-0016d3cca427");
const Date saved = Date{std::chrono::seconds(1'780'000'000)};

TEST(TapePositionStore, KeepsOnePositionPerCassette) {
    InMemoryDefaultsStore defaults;
    TapePositionStore store(defaults);
    EXPECT_EQ(store.load(cassette), std::nullopt);

    store.save({TapeSide::b, 123456, saved}, cassette);
    store.save({TapeSide::a, 42, saved + std::chrono::seconds(1)}, cassette);
    EXPECT_EQ(store.load(cassette), (TapePositionStore::Position{TapeSide::a, 42, saved + std::chrono::seconds(1)}));

    const Uuid other = *Uuid::parse("2b4e28ba-2fa1-41d2-883f-0016d3cca427");
    EXPECT_EQ(store.load(other), std::nullopt);
}

TEST(TapePositionStore, StoresJSONUnderTheCassettesKey) {
    InMemoryDefaultsStore defaults;
    TapePositionStore(defaults).save({TapeSide::b, 77, saved}, cassette);
    const auto stored = defaults.data("NorvoStudio.position.1b4e28ba-2fa1-41d2-883f-0016d3cca427");
    ASSERT_TRUE(stored);
    const auto json = JSONValue::parse(*stored);
    ASSERT_TRUE(json);
    EXPECT_EQ(*json->find("side")->string(), "b");
    EXPECT_EQ(json->find("head")->integer(), 77);
    EXPECT_EQ(*json->find("savedAt")->string(), formatISO8601(saved));
}

class UndecodablePosition : public testing::TestWithParam<const char*> {};

TEST_P(UndecodablePosition, LoadsAsNone) {
    InMemoryDefaultsStore defaults;
    defaults.setData(TapePositionStore::key(cassette), GetParam());
    EXPECT_EQ(TapePositionStore(defaults).load(cassette), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UndecodablePosition,
    testing::Values("", "not json", "[]", R"({"side":"c","head":1,"savedAt":"2026-01-01T00:00:00Z"})",
                    R"({"side":"a","head":-1,"savedAt":"2026-01-01T00:00:00Z"})",
                    R"({"side":"a","head":1.5,"savedAt":"2026-01-01T00:00:00Z"})",
                    R"({"side":"a","head":1,"savedAt":"soon"})", R"({"side":"a","savedAt":"2026-01-01T00:00:00Z"})"));

TEST(TapePositionStore, AValueOfAnotherTypeLoadsAsNone) {
    InMemoryDefaultsStore defaults;
    defaults.setNumber(TapePositionStore::key(cassette), 3.0);
    EXPECT_EQ(TapePositionStore(defaults).load(cassette), std::nullopt);
}

}  // namespace
}  // namespace norvo
