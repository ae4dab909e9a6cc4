#include <gtest/gtest.h>

#include <fstream>

#include "Platform/RegularFile.hpp"
#include "StudioModel/LocalFile.hpp"
#include "StudioModel/LocalPath.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

TEST(LocalPath, AFileUrlKeepsEveryByteOfThePath) {
    const std::filesystem::path latin1 = "/music/Caf\xe9 #1 100%.mp3";
    const QUrl url = LocalPath::url(latin1);
    EXPECT_EQ(url.toEncoded(), QByteArray("file:///music/Caf%E9%20%231%20100%25.mp3"));
    EXPECT_EQ(LocalPath::ofUrl(url), latin1);
    EXPECT_EQ(LocalPath::shown(latin1), QStringLiteral("/music/Caf\uFFFD #1 100%.mp3"));

    EXPECT_EQ(LocalPath::ofUrl(std::string_view("file:///m/caf\xe9.mp3")), std::filesystem::path("/m/caf\xe9.mp3"))
        << "raw bytes in a URL count as themselves";
    EXPECT_EQ(LocalPath::ofUrl(std::string_view("FILE:/m/a.mp3")), std::filesystem::path("/m/a.mp3"));
    EXPECT_EQ(LocalPath::ofUrl(std::string_view("file:///m/a.mp3?x#y")), std::filesystem::path("/m/a.mp3"));
    EXPECT_EQ(LocalPath::ofUrl(std::string_view("file://elsewhere/m/a.mp3")), std::nullopt) << "another machine's";
    EXPECT_EQ(LocalPath::ofUrl(std::string_view("file:///m/a%00.mp3")), std::nullopt);
    EXPECT_EQ(LocalPath::ofUrl(std::string_view("https://example.org/a.mp3")), std::nullopt);
    EXPECT_EQ(LocalPath::ofUrl(QUrl(QStringLiteral("https://example.org/a.mp3"))), std::nullopt);
}

TEST(LocalPath, ANameADialogShowsWithReplacementCharactersIsFoundAgainOnDisk) {
    test::TemporaryDirectory dir;
    const auto folder = dir.path() / "Caf\xe9";
    std::filesystem::create_directories(folder / "Sub");
    std::ofstream(folder / "Mix \xe9t\xe9.norvo") << "x";
    // Two names that show alike: the file is taken at the end of a path.
    std::filesystem::create_directory(folder / "\xe0");
    std::ofstream(folder / "\xe1") << "x";

    const QString shownFolder = LocalPath::shown(folder);
    EXPECT_EQ(LocalPath::resolve(shownFolder + QStringLiteral("/Mix \uFFFDt\uFFFD.norvo")),
              folder / "Mix \xe9t\xe9.norvo");
    EXPECT_EQ(LocalPath::resolve(shownFolder + QStringLiteral("/Sub")), folder / "Sub");
    EXPECT_EQ(LocalPath::resolve(shownFolder + QStringLiteral("/\uFFFD")), folder / "\xe1");
    EXPECT_EQ(LocalPath::resolve(shownFolder + QStringLiteral("/New \uFFFD.norvo")), folder / "New \xef\xbf\xbd.norvo")
        << "a new name stays as typed";
    EXPECT_EQ(LocalPath::resolve(QStringLiteral("/plain/path")), std::filesystem::path("/plain/path"));
}

TEST(LocalFile, ReplacesAFileByItsBytes) {
    test::TemporaryDirectory dir;
    const auto file = dir.path() / "Caf\xe9.nvsound";
    EXPECT_TRUE(LocalFile::replace(file, "first").isEmpty());
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_TRUE(LocalFile::replace(file, "second").isEmpty());
    EXPECT_EQ(std::filesystem::status(file).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << "the replaced file keeps its permissions";
    EXPECT_EQ(RegularFile(file).read(100), std::optional<std::string>("second"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";

    EXPECT_FALSE(LocalFile::replace(dir.path() / "no folder" / "x", "x").isEmpty());
}

}  // namespace
}  // namespace norvo
