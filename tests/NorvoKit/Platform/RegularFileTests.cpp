#include "Platform/RegularFile.hpp"

#include <fstream>
#include <gtest/gtest.h>

#include "Support/Fifo.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

namespace fs = std::filesystem;

TEST(RegularFile, ReadsARegularFileUpToOneByteOverItsLimit) {
    test::TemporaryDirectory dir;
    std::ofstream(dir / "profile.nvsound", std::ios::binary) << "0123456789";
    fs::create_symlink(dir / "profile.nvsound", dir / "link.nvsound");
    for (const char* name : {"profile.nvsound", "link.nvsound"}) {
        RegularFile file(dir / name);
        ASSERT_TRUE(file.isOpen()) << name;
        EXPECT_EQ(file.failure(), RegularFile::Failure::none);
        EXPECT_EQ(file.size(), 10u);
        EXPECT_EQ(file.read(64), "0123456789");
        EXPECT_EQ(file.read(4), "01234") << "enough to tell that it is over the limit";
    }
}

TEST(RegularFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
    test::TemporaryDirectory dir;
    const test::Fifo fifo(dir / "fifo.norvo");
    fs::create_directory(dir / "folder.norvo");
    for (const fs::path& path : {fifo.path(), dir / "folder.norvo", fs::path("/dev/null")}) {
        SCOPED_TRACE(path);
        std::optional<RegularFile> file;
        ASSERT_TRUE(fifo.returnsPromptly([&] { file.emplace(path); }));
        EXPECT_FALSE(file->isOpen());
        EXPECT_EQ(file->failure(), RegularFile::Failure::notRegular);
        EXPECT_EQ(file->reason(), "is not a regular file");
        EXPECT_EQ(file->read(10), std::nullopt);
    }
}

TEST(RegularFile, SaysWhenAFileCannotBeFoundOrRead) {
    test::TemporaryDirectory dir;
    RegularFile missing(dir / "missing.mp3");
    EXPECT_EQ(missing.failure(), RegularFile::Failure::missing);
    EXPECT_EQ(missing.reason(), "cannot be found");
    RegularFile underAFile(dir / "missing.mp3" / "inside.mp3");
    EXPECT_EQ(underAFile.failure(), RegularFile::Failure::missing);

    std::ofstream(dir / "loop.mp3").flush();
    fs::remove(dir / "loop.mp3");
    fs::create_symlink(dir / "loop.mp3", dir / "loop.mp3");
    RegularFile loop(dir / "loop.mp3");
    EXPECT_EQ(loop.failure(), RegularFile::Failure::unreadable);
    EXPECT_EQ(loop.reason(), "cannot be read: Too many levels of symbolic links");
}

}  // namespace
}  // namespace norvo
