#include "AudioEngine/TapeMedia.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/RecordedLengths.hpp"
#include "Platform/Uuid.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

namespace fs = std::filesystem;

const CassetteType oneSecond = CassetteType::custom(1);
using Lengths = std::array<int64_t, 2>;

std::size_t entryCount(const fs::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
    return n;
}

// Whether another open file description could take the lock now, as another process would.
bool lockIsFree(const fs::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return taken;
}

void makeWorkspaceLike(const fs::path& dir) {
    fs::create_directories(dir);
    std::ofstream(dir / ".lock").flush();
    std::ofstream(dir / "side-a.pcm") << "audio";
}

TEST(TapeMedia, CreatesALockedUuidWorkspaceWithBothSides) {
    test::TemporaryDirectory root;
    TapeMedia media(oneSecond, root.path());

    EXPECT_EQ(media.directory().parent_path(), root.path());
    const std::string name = media.directory().filename().string();
    ASSERT_TRUE(Uuid::isUuidText(name)) << name;
    EXPECT_EQ(Uuid::parse(name)->text(), name) << "lower-case UUID";
    EXPECT_FALSE(lockIsFree(media.directory() / ".lock"));
    for (TapeSide side : allTapeSides) {
        const fs::path file = media.directory() / ("side-" + std::string(side == TapeSide::a ? "a" : "b") + ".pcm");
        EXPECT_EQ(media.storage(side).file(), file);
        EXPECT_EQ(fs::file_size(file), 44100u * 4u);
        EXPECT_EQ(media.storage(side).capacity(), 44100);
    }
}

TEST(TapeMedia, SidesAreSeparateFiles) {
    test::TemporaryDirectory root;
    TapeMedia media(oneSecond, root.path());
    const float one = 1.0f;
    media.storage(TapeSide::b).write(7, &one, &one, 1);
    float left = 0, right = 0;
    media.storage(TapeSide::a).read(7, &left, &right, 1);
    EXPECT_EQ(left, 0.0f);
    media.storage(TapeSide::b).read(7, &left, &right, 1);
    EXPECT_NEAR(left, 1.0f, 1e-4);
}

TEST(TapeMedia, ReleasingTheMediaRemovesItsWorkspace) {
    test::TemporaryDirectory root;
    auto media = std::make_shared<TapeMedia>(oneSecond, root.path());
    const fs::path dir = media->directory();
    ASSERT_TRUE(fs::exists(dir));
    auto second = media;
    media.reset();
    EXPECT_TRUE(fs::exists(dir)) << "a reference is still held";
    second.reset();
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_EQ(entryCount(root.path()), 0u);
}

TEST(TapeMedia, AReleaseInTheBackgroundRemovesTheWorkspaceOnAWorker) {
    test::TemporaryDirectory root;
    std::vector<fs::path> directories;
    for (int i = 0; i < 3; ++i) {
        auto media = std::make_shared<TapeMedia>(oneSecond, root.path());
        directories.push_back(media->directory());
        TapeMedia::releaseInBackground(std::move(media));
        EXPECT_FALSE(media) << "the caller's reference is handed over";
    }
    auto kept = std::make_shared<TapeMedia>(oneSecond, root.path());
    auto other = kept;
    TapeMedia::releaseInBackground(std::move(other));
    TapeMedia::releaseInBackground(nullptr);

    TapeMedia::finishBackgroundReleases();
    for (const auto& directory : directories) EXPECT_FALSE(fs::exists(directory));
    EXPECT_TRUE(fs::exists(kept->directory())) << "a reference is still held";
    EXPECT_EQ(entryCount(root.path()), 1u);
}

TEST(TapeMedia, SweepRemovesOnlyUnlockedUuidWorkspaces) {
    test::TemporaryDirectory root;
    TapeMedia live(oneSecond, root.path());

    const fs::path stale = root / Uuid::random().text();
    makeWorkspaceLike(stale);
    const fs::path staleWithoutLock = root / Uuid::random().upperText();
    fs::create_directories(staleWithoutLock);
    const fs::path heldElsewhere = root / Uuid::random().text();
    makeWorkspaceLike(heldElsewhere);
    const int heldFD = ::open((heldElsewhere / ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(heldFD, 0);
    ASSERT_EQ(::flock(heldFD, LOCK_EX | LOCK_NB), 0);
    const fs::path notAWorkspace = root / "keep-me";
    makeWorkspaceLike(notAWorkspace);
    const fs::path uuidFile = root / Uuid::random().text();
    std::ofstream(uuidFile) << "not a folder";
    const fs::path elsewhere = root / "elsewhere";
    makeWorkspaceLike(elsewhere);
    const fs::path uuidLink = root / Uuid::random().text();
    fs::create_directory_symlink(elsewhere, uuidLink);

    TapeMedia::sweepStaleWorkspaces(root.path());

    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(staleWithoutLock));
    EXPECT_TRUE(fs::exists(live.directory() / "side-a.pcm")) << "a live workspace is kept";
    EXPECT_FALSE(lockIsFree(live.directory() / ".lock"));
    EXPECT_TRUE(fs::exists(heldElsewhere / "side-a.pcm")) << "a lock held by another owner protects it";
    EXPECT_TRUE(fs::exists(notAWorkspace / "side-a.pcm")) << "a folder not named by a UUID is never touched";
    EXPECT_TRUE(fs::exists(notAWorkspace / ".lock"));
    EXPECT_TRUE(fs::is_regular_file(uuidFile));
    EXPECT_TRUE(fs::is_symlink(uuidLink));
    EXPECT_TRUE(fs::exists(elsewhere / "side-a.pcm")) << "a link is not followed";

    ::close(heldFD);
    TapeMedia::sweepStaleWorkspaces(root.path());
    EXPECT_FALSE(fs::exists(heldElsewhere)) << "once its owner is gone it is stale";
}

TEST(TapeMedia, AKeptWorkspaceOutlivesItsMediaUnlockedAndIsTakenOverWithItsAudio) {
    test::TemporaryDirectory root;
    const float tone[3] = {0.25f, -0.5f, 0.75f};
    fs::path directory;
    uint64_t earlierGeneration = 0;
    {
        auto media = std::make_shared<TapeMedia>(oneSecond, root.path());
        directory = media->directory();
        media->storage(TapeSide::b).write(100, tone, tone, 3);
        media->noteWritten(TapeSide::b, 103);
        earlierGeneration = media->writeGeneration(TapeSide::b);
        media->keepWorkspace();
    }
    ASSERT_TRUE(fs::is_directory(directory)) << "kept for a later run";
    EXPECT_TRUE(lockIsFree(directory / ".lock"));

    TapeMedia::sweepStaleWorkspaces(root.path(), [&](const fs::path& candidate) {
        EXPECT_FALSE(lockIsFree(candidate / ".lock")) << "asked while the sweep holds the lock";
        return candidate == directory;
    });
    ASSERT_TRUE(fs::is_directory(directory)) << "the sweep leaves what it is told to keep";

    auto adopted = std::make_shared<TapeMedia>(oneSecond, TapeMedia::Existing{directory});
    EXPECT_EQ(adopted->directory(), directory);
    EXPECT_FALSE(lockIsFree(directory / ".lock"));
    EXPECT_EQ(adopted->used(TapeSide::b), 0) << "lengths are the caller's to restore";
    EXPECT_EQ(RecordedLengths::read(directory), (Lengths{0, 103})) << "the workspace kept them for the caller";
    EXPECT_FALSE(adopted->isDirty());
    EXPECT_NE(adopted->writeGeneration(TapeSide::b), earlierGeneration);
    float left[3] = {}, right[3] = {};
    adopted->storage(TapeSide::b).read(100, left, right, 3);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(left[i], tone[i], 1e-4);

    EXPECT_THROW(TapeMedia(oneSecond, TapeMedia::Existing{directory}), NorvoAudioError) << "a live owner holds it";
    EXPECT_FALSE(TapeMedia::removeStaleWorkspace(directory));
    EXPECT_TRUE(fs::is_directory(directory));

    adopted.reset();
    EXPECT_FALSE(fs::exists(directory)) << "once taken over it goes with its media";
}

TEST(TapeMedia, AWorkspaceThatDoesNotFitTheTypeIsNotTakenOverAndStaysAsItWas) {
    test::TemporaryDirectory root;
    fs::path directory;
    {
        TapeMedia media(oneSecond, root.path());
        media.keepWorkspace();
        directory = media.directory();
    }
    EXPECT_THROW(TapeMedia(CassetteType::custom(2), TapeMedia::Existing{directory}), NorvoAudioError);
    EXPECT_EQ(fs::file_size(directory / "side-a.pcm"), 44100u * 4u) << "not resized";
    fs::remove(directory / "side-b.pcm");
    try {
        TapeMedia media(oneSecond, TapeMedia::Existing{directory});
        FAIL() << "took over a workspace without side B";
    } catch (const NorvoAudioError& error) {
        EXPECT_NE(error.detail().find("side-b.pcm"), std::string::npos) << error.detail();
    }
    EXPECT_TRUE(fs::exists(directory / "side-a.pcm"));
    EXPECT_FALSE(fs::exists(directory / "side-b.pcm"));
    EXPECT_TRUE(lockIsFree(directory / ".lock"));

    EXPECT_TRUE(TapeMedia::removeStaleWorkspace(directory));
    EXPECT_FALSE(fs::exists(directory));
    EXPECT_TRUE(TapeMedia::removeStaleWorkspace(directory)) << "already gone";
}

TEST(TapeMedia, SweepOfAMissingRootDoesNothing) {
    test::TemporaryDirectory root;
    TapeMedia::sweepStaleWorkspaces(root / "nothing-here");
    EXPECT_FALSE(fs::exists(root / "nothing-here"));
}

TEST(TapeMedia, UsedIsTheHighWaterMarkAndWritesMakeTheSideDirty) {
    test::TemporaryDirectory root;
    TapeMedia media(oneSecond, root.path());
    EXPECT_EQ(media.used(TapeSide::a), 0);
    EXPECT_FALSE(media.isDirty());

    media.noteWritten(TapeSide::a, 1000);
    media.noteWritten(TapeSide::a, 400);
    EXPECT_EQ(media.used(TapeSide::a), 1000);
    EXPECT_EQ(media.used(TapeSide::b), 0);
    EXPECT_TRUE(media.isDirty(TapeSide::a));
    EXPECT_FALSE(media.isDirty(TapeSide::b));
    EXPECT_TRUE(media.isDirty());

    media.noteWritten(TapeSide::b, 10 * 44100);
    EXPECT_EQ(media.used(TapeSide::b), 44100) << "never past the side";
    EXPECT_EQ(RecordedLengths::read(media.directory()), (Lengths{1000, 44100})) << "the workspace keeps them";

    media.setUsedClean(TapeSide::a, 250);
    EXPECT_EQ(media.used(TapeSide::a), 250);
    EXPECT_FALSE(media.isDirty(TapeSide::a));
    EXPECT_EQ(RecordedLengths::read(media.directory()), (Lengths{250, 44100}));
}

TEST(TapeMedia, AWorkspaceWithoutItsLengthsOrWithDamagedOnesKeepsThemOnceTakenOver) {
    test::TemporaryDirectory root;
    fs::path directory;
    {
        TapeMedia media(oneSecond, root.path());
        media.keepWorkspace();
        directory = media.directory();
    }
    // None, as an earlier version left it, or a short one.
    for (const std::string damage : {"", "short"}) {
        fs::remove(directory / RecordedLengths::fileName);
        if (!damage.empty()) std::ofstream(directory / RecordedLengths::fileName) << damage;
        EXPECT_FALSE(RecordedLengths::read(directory)) << damage;
        TapeMedia adopted(oneSecond, TapeMedia::Existing{directory});
        adopted.noteWritten(TapeSide::b, 300);
        EXPECT_EQ(RecordedLengths::read(directory), (Lengths{0, 300})) << damage;
        adopted.keepWorkspace();
    }
}

TEST(TapeMedia, AWriteAfterTheGenerationWasReadKeepsTheSideDirty) {
    test::TemporaryDirectory root;
    TapeMedia media(oneSecond, root.path());
    media.noteWritten(TapeSide::a, 100);
    const uint64_t savedA = media.writeGeneration(TapeSide::a);
    media.noteWritten(TapeSide::b, 100);
    const uint64_t savedB = media.writeGeneration(TapeSide::b);

    // Recording goes on while the save runs.
    media.noteWritten(TapeSide::a, 200);

    EXPECT_FALSE(media.clearDirty(TapeSide::a, savedA));
    EXPECT_TRUE(media.isDirty(TapeSide::a));
    EXPECT_TRUE(media.clearDirty(TapeSide::b, savedB));
    EXPECT_FALSE(media.isDirty(TapeSide::b));
    EXPECT_TRUE(media.isDirty());

    EXPECT_TRUE(media.clearDirty(TapeSide::a, media.writeGeneration(TapeSide::a)));
    EXPECT_FALSE(media.isDirty());
}

void expectStorageErrorLeavingNothing(const fs::path& root, const fs::path& watched) {
    std::size_t before = fs::is_directory(watched) ? entryCount(watched) : 0;
    try {
        TapeMedia media(oneSecond, root);
        FAIL() << "created a workspace in " << root;
    } catch (const NorvoAudioError& error) {
        EXPECT_EQ(error.kind(), NorvoAudioError::Kind::storage);
        EXPECT_EQ(std::string(error.what()).rfind("Tape storage error: ", 0), 0u) << error.what();
        EXPECT_GT(error.detail().size(), 10u) << "says what went wrong";
    }
    if (fs::is_directory(watched)) {
        EXPECT_EQ(entryCount(watched), before);
    }
}

TEST(TapeMedia, AFileWhereTheRootShouldBeIsAStorageError) {
    test::TemporaryDirectory dir;
    std::ofstream(dir / "Workspaces") << "in the way";
    expectStorageErrorLeavingNothing(dir / "Workspaces", dir.path());
    expectStorageErrorLeavingNothing(dir / "Workspaces" / "below", dir.path());
    std::ifstream in(dir / "Workspaces");
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "in the way");
}

// A disk that cannot hold the sides: the file size limit makes the reservation fail
// the way a full disk does.
TEST(TapeMedia, AReservationThatFailsRemovesTheHalfMadeWorkspace) {
    test::TemporaryDirectory root;
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    expectStorageErrorLeavingNothing(root.path(), root.path());

    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(entryCount(root.path()), 0u);
}

TEST(TapeMedia, WorkspacesLiveInTheCacheHome) {
    test::ScopedEnvironment cache("XDG_CACHE_HOME", "/tmp/norvo-cache-home");
    EXPECT_EQ(TapeMedia::workspacesRoot(), fs::path("/tmp/norvo-cache-home/Norvo Studio/Workspaces"));
}

}  // namespace
}  // namespace norvo
