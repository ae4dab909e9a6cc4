#include "Platform/JSONValue.hpp"

#include <gtest/gtest.h>
#include <string>

namespace norvo {
namespace {

std::string nested(int depth, const std::string& open, const std::string& close) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    for (int i = 0; i < depth; ++i) text += close;
    return text;
}

TEST(JSONValue, ParsesEveryKind) {
    auto value = JSONValue::parse(R"({"b": true, "n": -2.5, "s": "x\u00e9", "a": [1, null], "o": {}})");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->find("b")->boolValue(), true);
    EXPECT_EQ(value->find("n")->number(), -2.5);
    EXPECT_EQ(*value->find("s")->string(), "x\xc3\xa9");
    ASSERT_TRUE(value->find("a")->isArray());
    EXPECT_EQ(value->find("a")->array()->at(0).integer(), 1);
    EXPECT_TRUE(value->find("a")->array()->at(1).isNull());
    EXPECT_TRUE(value->find("o")->isObject());
    EXPECT_EQ(value->find("missing"), nullptr);
    EXPECT_EQ(value->find("n")->find("x"), nullptr) << "a number has no members";
}

TEST(JSONValue, SerializesPrettyWithSortedKeysAndPlainSlashes) {
    JSONValue value;
    value["zeta"] = "a/b";
    value["alpha"] = JSONValue::Array{1, 2.5, true, nullptr};
    value["mid"]["inner"] = -3;
    value["empty"] = JSONValue::Object{};
    EXPECT_EQ(value.serialized(), "{\n"
                                  "  \"alpha\": [\n"
                                  "    1,\n"
                                  "    2.5,\n"
                                  "    true,\n"
                                  "    null\n"
                                  "  ],\n"
                                  "  \"empty\": {},\n"
                                  "  \"mid\": {\n"
                                  "    \"inner\": -3\n"
                                  "  },\n"
                                  "  \"zeta\": \"a/b\"\n"
                                  "}");
    EXPECT_EQ(value.compact(), R"({"alpha":[1,2.5,true,null],"empty":{},"mid":{"inner":-3},"zeta":"a/b"})");
}

TEST(JSONValue, WholeNumbersHaveNoFraction) {
    EXPECT_EQ(JSONValue(3.0).compact(), "3");
    EXPECT_EQ(JSONValue(int64_t{1} << 40).compact(), "1099511627776");
    EXPECT_EQ(JSONValue(-0.0).compact(), "0");
    EXPECT_EQ(JSONValue(0.1).compact(), "0.1");
    EXPECT_EQ(JSONValue(1e300).compact(), "1e+300");
    EXPECT_EQ(JSONValue(std::numeric_limits<double>::infinity()).compact(), "null") << "JSON has no infinity";
}

TEST(JSONValue, RoundTripsThroughText) {
    const std::string text = R"({"list":[{"id":"x/y","v":0.125}],"name":"Tape \"A\"","on":false})";
    auto value = JSONValue::parse(text);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->compact(), text);
    EXPECT_EQ(JSONValue::parse(value->serialized()), value);
}

TEST(JSONValue, IntegerOnlyForWholeNumbers) {
    EXPECT_EQ(JSONValue(42).integer(), 42);
    EXPECT_EQ(JSONValue(-7.0).integer(), -7);
    EXPECT_EQ(JSONValue(2.5).integer(), std::nullopt);
    EXPECT_EQ(JSONValue(1e30).integer(), std::nullopt);
    EXPECT_EQ(JSONValue("3").integer(), std::nullopt);
    EXPECT_EQ(JSONValue("3").number(), std::nullopt);
}

TEST(JSONValue, InvalidTextGivesNothing) {
    for (const char* text : {"", "{", "[1,]", "nul", "{} x", "{\"a\" 1}", "'single'", "[1 2]", "\"\xff\""})
        EXPECT_EQ(JSONValue::parse(text), std::nullopt) << text;
}

TEST(JSONValue, NestingIsLimited) {
    EXPECT_TRUE(JSONValue::parse(nested(JSONValue::maximumDepth, "[", "]")));
    EXPECT_FALSE(JSONValue::parse(nested(JSONValue::maximumDepth + 1, "[", "]")));
    EXPECT_FALSE(JSONValue::parse("[" + nested(100000, "{\"a\":", "}") + "]"));
    // Brackets inside strings are text, not nesting.
    EXPECT_TRUE(JSONValue::parse("[\"" + std::string(2000, '[') + "\\\"{\"]"));
}

TEST(JSONValue, SubscriptTurnsAValueIntoAnObject) {
    JSONValue value = 5;
    value["k"] = "v";
    ASSERT_TRUE(value.isObject());
    EXPECT_EQ(value.object()->size(), 1u);
    EXPECT_EQ(value, (JSONValue(JSONValue::Object{{"k", "v"}})));
}

}  // namespace
}  // namespace norvo
