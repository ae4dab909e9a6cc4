#include "Platform/Url.hpp"

#include <gtest/gtest.h>

namespace norvo {
namespace {

struct UrlCase {
    std::string text;
    bool parses;
    std::string scheme = {};
    std::string host = {};
};

class UrlParseTest : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlParseTest, AcceptsExactlyWellFormedReferences) {
    const auto& c = GetParam();
    auto url = Url::parse(c.text);
    ASSERT_EQ(url.has_value(), c.parses) << c.text;
    if (!url) return;
    EXPECT_EQ(url->absoluteString(), c.text);
    EXPECT_EQ(url->scheme(), c.scheme);
    EXPECT_EQ(url->host(), c.host);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UrlParseTest,
    testing::Values(UrlCase{"http://stream.example.org:8000/live.mp3", true, "http", "stream.example.org"},
                    UrlCase{"HTTPS://Example.org/a?b=c&d#frag", true, "HTTPS", "Example.org"},
                    UrlCase{"http://user:pw@[2001:db8::1]:80/", true, "http", "[2001:db8::1]"},
                    UrlCase{"www.example.org", true}, UrlCase{"/relative/path", true},
                    UrlCase{"rtsp://media.example.org/x", true, "rtsp", "media.example.org"},
                    UrlCase{"http://example.org/caf%C3%A9", true, "http", "example.org"},
                    UrlCase{"http://example.org/a b", false}, UrlCase{" http://example.org", false},
                    UrlCase{"http://example.org/caf\xC3\xA9", false}, UrlCase{"http://example.org/%zz", false},
                    UrlCase{"http://example.org/%4", false}, UrlCase{"http://exa<mple.org/", false},
                    UrlCase{"http://example.org:99999/", false}, UrlCase{"http://[::g]/", false},
                    UrlCase{"1http://example.org", false}, UrlCase{"not a url", false}, UrlCase{"a#b#c", false}));

TEST(UrlTest, EqualityFollowsTheText) {
    EXPECT_EQ(Url::parse("http://a.example/x"), Url::parse("http://a.example/x"));
    EXPECT_NE(Url::parse("http://a.example/x"), Url::parse("HTTP://a.example/x"));
    EXPECT_EQ(Url::parse("http://a.example:8000/x")->port(), 8000);
    EXPECT_EQ(Url::parse("http://a.example/x?q=1")->query(), "q=1");
}

struct HostCase {
    std::string text;
    bool valid;
};

class HostWithPortTest : public testing::TestWithParam<HostCase> {};

TEST_P(HostWithPortTest, AcceptsHostNamesAddressesAndPorts) {
    EXPECT_EQ(Url::isHostWithOptionalPort(GetParam().text), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostWithPortTest,
    testing::Values(HostCase{"de1.api.example.info", true}, HostCase{"127.0.0.1:8080", true},
                    HostCase{"[::1]:443", true}, HostCase{"localhost", true}, HostCase{"my_host.example", true},
                    HostCase{"", false}, HostCase{"bad host", false}, HostCase{"host/path", false},
                    HostCase{"host:", false}, HostCase{"host:0", false}, HostCase{"host:65536", false},
                    HostCase{"-lead.example", false}, HostCase{"a..b", false}, HostCase{"user@host", false},
                    HostCase{"[::1", false}, HostCase{"host?x", false}, HostCase{"exämple.org", false},
                    HostCase{std::string(64, 'a') + ".example", false}));

}  // namespace
}  // namespace norvo
