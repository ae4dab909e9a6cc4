#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <utility>
#include <vector>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteFileError.hpp"
#include "Cassette/ManifestCodec.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/ZipArchiveReader.hpp"
#include "CassetteFixtures.hpp"
#include "Support/Fifo.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using namespace test;

constexpr const char* notCassette = "This file is not a NORVO cassette.";
constexpr const char* damaged = "The cassette file is damaged.";
constexpr const char* tooLarge = "The cassette is too large.";

const std::string thumbnail = std::string(pngBytes(1).text());

// The manifest of a blank short cassette with a thumbnail, edited by the case.
std::string manifestText(const std::function<void(JSONValue&)>& edit = {}) {
    CassetteDocument document(shortType(), "Hostile", CassetteDesign{});
    ManifestLayout layout;
    layout.artwork[ArtworkRole::thumbnail] = "artwork/thumbnail.png";
    JSONValue manifest = ManifestCodec::encode(document, layout);
    if (edit) edit(manifest);
    return manifest.serialized();
}

std::function<void(JSONValue&)> thumbnailAt(const std::string& path) {
    return [path](JSONValue& m) { m["artwork"]["thumbnail"] = path; };
}

std::function<void(JSONValue&)> sideAAudio(int64_t frames) {
    return [frames](JSONValue& m) {
        m["sides"]["a"]["frames"] = frames;
        m["sides"]["a"]["audio"] = "audio/side-a.m4a";
    };
}

// mimetype, the thumbnail and the manifest: a valid container to spoil.
std::vector<RawZipEntry> validEntries(const std::string& manifest = manifestText()) {
    return {RawZipEntry("mimetype", "application/vnd.norvo.cassette"), RawZipEntry("artwork/thumbnail.png", thumbnail),
            RawZipEntry("manifest.json", manifest, RawZipEntry::Method::deflated)};
}

struct HostileCase {
    const char* name;
    std::function<std::string()> bytes;
    std::string sentence;  // a whole sentence, or its beginning when it ends with ": "
};

class HostileContainer : public testing::TestWithParam<HostileCase> {
protected:
    void expectRefused(const std::function<void()>& read) {
        const std::string expected = GetParam().sentence;
        try {
            read();
            ADD_FAILURE() << "accepted";
        } catch (const CassetteFileError& error) {
            if (expected.size() > 2 && expected.substr(expected.size() - 2) == ": ")
                EXPECT_EQ(std::string(error.what()).substr(0, expected.size()), expected) << error.what();
            else EXPECT_EQ(error.what(), expected);
        }
        // Nothing of a refused cassette stays on disk.
        EXPECT_TRUE(!std::filesystem::exists(root) || std::filesystem::is_empty(root));
    }

    TemporaryDirectory directory;
    std::filesystem::path root = directory / "workspaces";
};

TEST_P(HostileContainer, IsRefusedFromMemory) {
    const FileData bytes(GetParam().bytes());
    expectRefused([&] { TapeFileCodec::read(bytes, {}, mediaFactory(root)); });
}

TEST_P(HostileContainer, IsRefusedFromAFile) {
    const auto file = directory / "hostile.norvo";
    writeFileBytes(file, GetParam().bytes());
    expectRefused([&] { TapeFileCodec::read(file, {}, mediaFactory(root)); });
}

std::vector<RawZipEntry> with(std::vector<RawZipEntry> entries,
                              const std::function<void(std::vector<RawZipEntry>&)>& edit) {
    edit(entries);
    return entries;
}

std::string missing(const std::string& quoted) { return "The cassette is missing \u201C" + quoted + "\u201D."; }

TEST(HostileContainerBomb, TheZerosFixtureInflatesToWhatItDeclares) {
    // The fixture itself is sound: a small one reads back as zeros.
    const auto zip = ZipArchiveReader::open(FileData(buildZip({RawZipEntry::inflatingZeros("zeros", 3)})));
    const auto bytes = zip->read(0, 4u << 20);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 3u << 20);
    EXPECT_EQ(std::count(bytes->data(), bytes->data() + bytes->size(), 0), std::ptrdiff_t(3u << 20));
}

TEST(HostileContainerBomb, BothSidesInflatingToNearly2GiBAreRefusedAtOnceAndCheaply) {
    TemporaryDirectory directory;
    const auto file = directory / "bomb.norvo";
    writeFileBytes(file,
                   buildZip(with(validEntries(manifestText([](JSONValue& m) {
                                     sideAAudio(3 * 44100)(m);
                                     m["sides"]["b"]["frames"] = 3 * 44100;
                                     m["sides"]["b"]["audio"] = "audio/side-b.m4a";
                                 })),
                                 [](auto& e) {
                                     e.insert(e.begin() + 1, RawZipEntry::inflatingZeros("audio/side-a.m4a", 2047));
                                     e.insert(e.begin() + 2, RawZipEntry::inflatingZeros("audio/side-b.m4a", 2047));
                                 })));
    ASSERT_LT(std::filesystem::file_size(file), 5u << 20);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    try {
        TapeFileCodec::read(file, {}, mediaFactory(directory / "workspaces"));
        ADD_FAILURE() << "accepted";
    } catch (const CassetteFileError& error) {
        EXPECT_STREQ(error.what(), tooLarge);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(seconds, 1.0);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kilobytes more at the peak";
    EXPECT_TRUE(!std::filesystem::exists(directory / "workspaces") ||
                std::filesystem::is_empty(directory / "workspaces"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileContainer,
    testing::Values(
        HostileCase{"EmptyFile", [] { return std::string(); }, notCassette},
        HostileCase{"PlainText", [] { return std::string("just some words, not an archive"); }, notCassette},
        HostileCase{"TruncatedZip",
                    [] {
                        const auto bytes = buildZip(validEntries());
                        return bytes.substr(0, bytes.size() / 2);
                    },
                    damaged},
        HostileCase{"WrongCRC", [] { return buildZip(with(validEntries(), [](auto& e) { e[1].crc = 0x12345678; })); },
                    damaged},
        HostileCase{"EncryptedEntry", [] { return buildZip(with(validEntries(), [](auto& e) { e[1].flags = 1; })); },
                    notCassette},
        HostileCase{"MimetypeMissing",
                    [] { return buildZip(with(validEntries(), [](auto& e) { e.erase(e.begin()); })); }, notCassette},
        HostileCase{"MimetypeWrong",
                    [] { return buildZip(with(validEntries(), [](auto& e) { e[0].data = "application/zip"; })); },
                    notCassette},
        HostileCase{"MimetypeNotFirst",
                    [] { return buildZip(with(validEntries(), [](auto& e) { std::swap(e[0], e[1]); })); }, damaged},
        HostileCase{"DuplicateNames",
                    [] { return buildZip(with(validEntries(), [](auto& e) { e.insert(e.begin() + 1, e[1]); })); },
                    damaged},
        HostileCase{"NameWithNulByte",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            e.insert(e.begin() + 1, RawZipEntry(std::string("extras/a\0b", 10), "x"));
                        }));
                    },
                    damaged},
        HostileCase{"NameOver1024Bytes",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            e.insert(e.begin() + 1, RawZipEntry("extras/" + std::string(1018, 'n'), "x"));
                        }));
                    },
                    damaged},
        HostileCase{"FiveThousandEntries",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            for (int i = 0; i < 5000; ++i)
                                e.insert(e.begin() + 1, RawZipEntry("extras/" + std::to_string(i), ""));
                        }));
                    },
                    tooLarge},
        HostileCase{"NoManifest", [] { return buildZip(with(validEntries(), [](auto& e) { e.pop_back(); })); },
                    "The cassette has no manifest."},
        HostileCase{"ManifestDeclaredOver1MiB",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            e.back().declaredSize = TapeFileCodec::maximumManifestBytes + 1;
                        }));
                    },
                    "The cassette manifest is larger than 1 MiB."},
        HostileCase{"ZipBombManifest",
                    [] {
                        // Declares a few bytes, inflates to 8 MiB.
                        const std::string bomb = manifestText() + std::string(8u << 20, ' ');
                        return buildZip(with(validEntries(bomb), [](auto& e) { e.back().declaredSize = 100; }));
                    },
                    "The cassette manifest is larger than 1 MiB."},
        HostileCase{"ManifestNotJSON", [] { return buildZip(validEntries("{\"format\": ")); },
                    "The cassette manifest is damaged."},
        HostileCase{
            "NewerFormat",
            [] { return buildZip(validEntries(manifestText([](JSONValue& m) { m["format_version"] = "2.0"; }))); },
            "This cassette needs a newer Norvo Studio."},
        HostileCase{"PathTraversal",
                    [] { return buildZip(validEntries(manifestText(thumbnailAt("artwork/../../etc/passwd")))); },
                    missing("artwork/../../etc/passwd")},
        HostileCase{"LeadingSlash",
                    [] { return buildZip(validEntries(manifestText(thumbnailAt("/artwork/thumbnail.png")))); },
                    missing("/artwork/thumbnail.png")},
        HostileCase{"Backslash",
                    [] { return buildZip(validEntries(manifestText(thumbnailAt("artwork\\thumbnail.png")))); },
                    missing("artwork\\thumbnail.png")},
        HostileCase{"OutsideTheFolders",
                    [] { return buildZip(validEntries(manifestText(thumbnailAt("manifest.json")))); },
                    missing("manifest.json")},
        HostileCase{"AudioUnderArtwork",
                    [] {
                        return buildZip(validEntries(manifestText([](JSONValue& m) {
                            sideAAudio(1000)(m);
                            m["sides"]["a"]["audio"] = "artwork/thumbnail.png";
                        })));
                    },
                    missing("artwork/thumbnail.png")},
        HostileCase{"MissingEntry",
                    [] { return buildZip(validEntries(manifestText(thumbnailAt("artwork/nothing.png")))); },
                    missing("artwork/nothing.png")},
        HostileCase{"SymbolicLinkEntry",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            e[1].data = "/etc/passwd";
                            e[1].unixMode = 0120777;
                        }));
                    },
                    missing("artwork/thumbnail.png")},
        HostileCase{"ControlCharactersInThePath",
                    [] { return buildZip(validEntries(manifestText(thumbnailAt("artwork/\x01\n.png")))); },
                    missing("artwork/\\x01\\x0A.png")},
        HostileCase{"InvisibleCharactersInThePath",
                    [] {
                        // C1 controls and bidirectional overrides and isolates would reorder the
                        // sentence on screen; marks and ordinary letters stay.
                        return buildZip(validEntries(manifestText(
                            thumbnailAt("artwork/\u0085\u009F\u202A\u202E\u2066\u2069\u200F\u061C\u00E9\u2013.png"))));
                    },
                    missing("artwork/\\u0085\\u009F\\u202A\\u202E\\u2066\\u2069\\u200F\\u061C\u00E9\u2013.png")},
        HostileCase{
            "LongPath",
            [] { return buildZip(validEntries(manifestText(thumbnailAt("artwork/" + std::string(300, 'x'))))); },
            missing("artwork/" + std::string(191, 'x') + "\u2026")},
        HostileCase{"AudioOver2GiB",
                    [] {
                        return buildZip(with(validEntries(manifestText(sideAAudio(1000))), [](auto& e) {
                            e.insert(e.begin() + 1, RawZipEntry::claiming("audio/side-a.m4a", "tiny", 3u << 30));
                        }));
                    },
                    tooLarge},
        HostileCase{"AudioFarBeyondWhatTheSideCanHold",
                    [] {
                        // 1000 frames recorded; 8 MiB of audio that inflates from almost nothing.
                        return buildZip(with(validEntries(manifestText(sideAAudio(1000))), [](auto& e) {
                            e.insert(e.begin() + 1, RawZipEntry("audio/side-a.m4a", std::string(8u << 20, '\0'),
                                                                RawZipEntry::Method::deflated));
                        }));
                    },
                    tooLarge},
        HostileCase{"AudioWithTheCompressionRatioOfABomb",
                    [] {
                        // Within what three seconds may need, but compressed a thousandfold.
                        return buildZip(with(validEntries(manifestText(sideAAudio(3 * 44100))), [](auto& e) {
                            e.insert(e.begin() + 1,
                                     RawZipEntry("audio/side-a.m4a", std::string((1u << 20) + 4096, '\0'),
                                                 RawZipEntry::Method::deflated));
                        }));
                    },
                    tooLarge},
        HostileCase{"ArtworkOver64MiB",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            e[1].deflate = true;
                            e[1].declaredSize = (64u << 20) + 1;
                        }));
                    },
                    tooLarge},
        HostileCase{"OneImageNamedByManySlots",
                    [] {
                        // 1 MiB of artwork, held once for each of 65 booklet panels.
                        return buildZip(with(validEntries(manifestText([](JSONValue& m) {
                                                 m["booklet"] = JSONValue::Array(65, "artwork/thumbnail.png");
                                             })),
                                             [](auto& e) {
                                                 e[1].data = std::string(1u << 20, '\0');
                                                 e[1].deflate = true;
                                             }));
                    },
                    tooLarge},
        HostileCase{"UnknownDataOver64MiB",
                    [] {
                        return buildZip(with(validEntries(), [](auto& e) {
                            e.insert(e.begin() + 1, RawZipEntry::claiming("extras/huge.bin", "tiny", (64u << 20) + 1));
                        }));
                    },
                    tooLarge},
        HostileCase{"FramesBeyondTheSide",
                    [] { return buildZip(validEntries(manifestText(sideAAudio(3 * 44100 + 1)))); },
                    "The cassette manifest is damaged."},
        HostileCase{"UndecodableSideA",
                    [] {
                        return buildZip(with(validEntries(manifestText(sideAAudio(1000))), [](auto& e) {
                            e.insert(e.begin() + 1, RawZipEntry("audio/side-a.m4a", std::string(4096, '\x5A')));
                        }));
                    },
                    "Side A audio cannot be decoded: it is not an M4A file"},
        HostileCase{"UndecodableSideB",
                    [] {
                        return buildZip(with(validEntries(manifestText([](JSONValue& m) {
                                                 m["sides"]["b"]["frames"] = 1000;
                                                 m["sides"]["b"]["audio"] = "audio/side-b.m4a";
                                             })),
                                             [](auto& e) {
                                                 e.insert(e.begin() + 1,
                                                          RawZipEntry("audio/side-b.m4a", std::string("\0\0\0\x20"
                                                                                                      "ftypM4A ",
                                                                                                      12)));
                                             }));
                    },
                    "Side B audio cannot be decoded: it is not an M4A file"}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

TEST(HostileContainerCarriage, UnsafeEntriesAreNotCarriedAlong) {
    TemporaryDirectory directory;
    const auto bytes = buildZip(with(validEntries(), [](auto& e) {
        e.insert(e.begin() + 1, RawZipEntry("../escape.txt", "out"));
        e.insert(e.begin() + 1, RawZipEntry::symbolicLink("extras/link", "/etc/passwd"));
        e.insert(e.begin() + 1, RawZipEntry("extras/", ""));
        e.insert(e.begin() + 1, RawZipEntry("extras/kept.txt", "kept"));
    }));
    const auto result = TapeFileCodec::read(FileData(bytes), {}, mediaFactory(directory / "workspaces"));
    ASSERT_EQ(result.document.carriedEntries.size(), 1u);
    EXPECT_EQ(result.document.carriedEntries[0].name, "extras/kept.txt");
    EXPECT_EQ(result.document.carriedEntries[0].data.text(), "kept");
    EXPECT_EQ(result.document.artwork.at(ArtworkRole::thumbnail).text(), thumbnail);
}

TEST(HostileContainerCarriage, EntriesNamedInNoKnownEncodingAreSavedAgain) {
    // Other tools write names in a legacy code page; such a cassette must still save.
    TemporaryDirectory directory;
    const auto bytes = buildZip(with(validEntries(), [](auto& e) {
        e.insert(e.begin() + 1, RawZipEntry("extras/bell\x07.txt", "two"));
        e.insert(e.begin() + 1, RawZipEntry("extras/caf\xE9.txt", "one"));
    }));
    const auto opened = TapeFileCodec::read(FileData(bytes), {}, mediaFactory(directory / "workspaces"));
    ASSERT_EQ(opened.document.carriedEntries.size(), 2u);

    const auto file = directory / "resaved.norvo";
    TapeFileCodec::write(opened.document, *opened.media, file);
    const auto again = TapeFileCodec::read(file, {}, mediaFactory(directory / "workspaces"));
    EXPECT_EQ(again.document.carriedEntries, opened.document.carriedEntries);
}

TEST(HostileContainerCarriage, AMissingFileOrOneThatIsNotARegularFileHasItsOwnSentence) {
    TemporaryDirectory directory;
    const Fifo fifo(directory / "fifo.norvo");
    std::filesystem::create_directory(directory / "folder.norvo");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"gone.norvo", "The cassette file cannot be found."},
        {"fifo.norvo", "The cassette is not a regular file."},
        {"folder.norvo", "The cassette is not a regular file."}};
    for (const auto& [name, sentence] : cases) {
        SCOPED_TRACE(name);
        // A FIFO nobody writes to would keep the cassette loading for ever.
        EXPECT_TRUE(fifo.returnsPromptly([&, &name = name, &sentence = sentence] {
            try {
                TapeFileCodec::read(directory / name, {}, mediaFactory(directory / "workspaces"));
                ADD_FAILURE() << "read";
            } catch (const CassetteFileError& error) {
                EXPECT_EQ(error.what(), sentence);
                EXPECT_EQ(error.kind(), CassetteFileError::Kind::unreadable);
            }
        }));
    }
}

}  // namespace
}  // namespace norvo
