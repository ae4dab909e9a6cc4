#include "Radio/StreamPlaylist.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Radio/StreamURL.hpp"

namespace norvo {
namespace {

struct Recognition {
    std::optional<std::string> mimeType;
    std::string url;
    bool hls;
    bool playlist;
};

class StreamPlaylistRecognition : public ::testing::TestWithParam<Recognition> {};

TEST_P(StreamPlaylistRecognition, ByTypeThenExtension) {
    const auto& c = GetParam();
    EXPECT_EQ(StreamPlaylist::isHLS(c.mimeType, c.url), c.hls);
    EXPECT_EQ(StreamPlaylist::isPlaylist(c.mimeType, c.url), c.playlist);
}

INSTANTIATE_TEST_SUITE_P(Responses, StreamPlaylistRecognition,
                         ::testing::Values(Recognition{"application/vnd.apple.mpegurl", "http://h/live", true, false},
                                           Recognition{"application/x-mpegurl", "http://h/live", true, false},
                                           Recognition{"audio/x-mpegurl", "http://h/live", false, true},
                                           Recognition{"audio/mpegurl", "http://h/live", false, true},
                                           Recognition{"audio/x-scpls", "http://h/live", false, true},
                                           Recognition{"application/pls+xml", "http://h/live", false, true},
                                           Recognition{"audio/scpls", "http://h/live", false, true},
                                           Recognition{"AUDIO/X-SCPLS", "http://h/live", false, true},
                                           Recognition{"audio/mpeg", "http://h/live/index.M3U8?token=1", true, false},
                                           Recognition{std::nullopt, "http://h/list.m3u8", true, false},
                                           Recognition{"audio/mpeg", "http://h/tunein.m3u", false, true},
                                           Recognition{"text/plain", "http://h/listen.pls#top", false, true},
                                           Recognition{"audio/mpeg", "http://h/live.mp3", false, false},
                                           Recognition{"audio/mpeg", "http://h/m3u", false, false},
                                           Recognition{std::nullopt, "http://h.pls/", false, false},
                                           // Both would match: the receiver asks isHLS first.
                                           Recognition{"audio/x-mpegurl", "http://h/live.m3u8", true, true}));

struct FirstEntry {
    std::string name;
    std::string text;
    std::string base;
    std::optional<std::string> url;
};

class StreamPlaylistFirstURL : public ::testing::TestWithParam<FirstEntry> {};

TEST_P(StreamPlaylistFirstURL, FindsTheFirstPlayableEntry) {
    EXPECT_EQ(StreamPlaylist::firstStreamURL(GetParam().text, GetParam().base), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StreamPlaylistFirstURL,
    ::testing::Values(
        FirstEntry{"Pls",
                   "[playlist]\nFile1=http://stream.example.org:8000/live\nTitle1=Live\nLength1=-1\n"
                   "NumberOfEntries=1\nVersion=2\n",
                   "http://h/listen.pls", "http://stream.example.org:8000/live"},
        FirstEntry{"PlsCrLfAndSpaces", "[playlist]\r\nNumberOfEntries=1\r\n  file1 =  http://s/a \t\r\n",
                   "http://h/x.pls", "http://s/a"},
        FirstEntry{"ExtendedM3u", "#EXTM3U\n#EXTINF:-1,Station\nhttps://s.example.org/stream.aac\n", "http://h/x.m3u",
                   "https://s.example.org/stream.aac"},
        FirstEntry{"RelativeEntry", "live.mp3\n", "http://h:8000/radio/tunein.m3u?x=1", "http://h:8000/radio/live.mp3"},
        FirstEntry{"RootRelativeEntry", "/other/live\n", "https://h/radio/tunein.m3u", "https://h/other/live"},
        FirstEntry{"ProtocolRelativeEntry", "//cdn.example.org/live\n", "https://h/a.m3u",
                   "https://cdn.example.org/live"},
        FirstEntry{"OtherSchemesSkipped", "rtsp://s/live\nmms://s/live\nmms:live\nhttp://s/ok\n", "http://h/a.m3u",
                   "http://s/ok"},
        FirstEntry{"QueryWithEqualsIsAUrl", "http://s/live?sid=1&fmt=mp3\n", "http://h/a.m3u",
                   "http://s/live?sid=1&fmt=mp3"},
        FirstEntry{"KeyWithoutSchemeSkipped", "Title1=http\nlive=now\nhttp://s/ok\n", "http://h/a.pls", "http://s/ok"},
        FirstEntry{"FileWithoutEqualsIsALine", "files/live.mp3\n", "http://h/dir/a.m3u", "http://h/dir/files/live.mp3"},
        FirstEntry{"WhitespaceInsideRefused", "http://s/with space\nhttp://s/ok\n", "http://h/a.m3u", "http://s/ok"},
        FirstEntry{"ControlCharacterRefused", "http://s/\x01x\nhttp://s/ok\n", "http://h/a.m3u", "http://s/ok"},
        FirstEntry{"UnicodeLineSeparators", "#c\xe2\x80\xa8http://s/one\xc2\x85http://s/two", "http://h/a.m3u",
                   "http://s/one"},
        FirstEntry{"EmptyFileEntrySkipped", "File1=\nFile2=http://s/two\n", "http://h/a.pls", "http://s/two"},
        FirstEntry{"NothingPlayable", "#EXTM3U\n[playlist]\nNumberOfEntries=0\n", "http://h/a.pls", std::nullopt},
        FirstEntry{"RelativeWithoutUsableBase", "live.mp3\n", "not a url", std::nullopt},
        FirstEntry{"Empty", "", "http://h/a.pls", std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(StreamURL, PathAndExtension) {
    EXPECT_EQ(StreamURL::path("http://h:80/a/b.mp3?x=1#f"), "/a/b.mp3");
    EXPECT_EQ(StreamURL::path("http://h"), "");
    EXPECT_EQ(StreamURL::pathExtension("http://h/a/B.AAC"), "aac");
    EXPECT_EQ(StreamURL::pathExtension("http://h/a.pls/"), "pls");
    EXPECT_EQ(StreamURL::pathExtension("http://h/.m3u8"), "");
    EXPECT_EQ(StreamURL::pathExtension("http://h.m3u8/live"), "");
    EXPECT_EQ(StreamURL::scheme("HTTPS://h/"), "https");
    EXPECT_EQ(StreamURL::scheme("live.mp3"), std::nullopt);
}

}  // namespace
}  // namespace norvo
