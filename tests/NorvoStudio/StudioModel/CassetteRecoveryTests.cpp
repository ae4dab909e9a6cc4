#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThreadPool>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "AudioEngine/RecordedLengths.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "NorvoStudio/Support/PngData.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Platform/Iso8601.hpp"
#include "StudioModel/FormatTapeTime.hpp"
#include "StudioModel/RecoveryCopy.hpp"
#include "Support/FakeClock.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

namespace fs = std::filesystem;
using test::StudioFixture;
using Recover = StudioUi::RecoverChoice;

// FNV-1a over the first `frames` frames of a side, as they are in the side file.
uint64_t frameHash(const TapeMedia& media, TapeSide side, int64_t frames) {
    uint64_t hash = 0xcbf29ce484222325ull;
    const auto* bytes = reinterpret_cast<const uint8_t*>(media.storage(side).frames());
    for (int64_t i = 0; i < frames * 4; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

StudioFixture::Options in(const fs::path& workspaces, const Clock* clock = nullptr) {
    StudioFixture::Options options;
    options.workspaces = workspaces;
    options.clock = clock;
    return options;
}

std::vector<fs::path> workspacesIn(const fs::path& root) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) found.push_back(entry.path());
    return found;
}

bool holdsCopy(const fs::path& workspace) { return fs::exists(workspace / RecoveryCopy::fileName); }

std::optional<RecoveryCopy> copyIn(const fs::path& workspace) {
    return RecoveryCopy::read(workspace, RecoveryCopy::Images::loaded);
}

std::vector<const HistoryEvent*> events(const CassetteDocument& document, const std::string& type) {
    std::vector<const HistoryEvent*> found;
    for (const auto& event : document.history)
        if (event.type == type) found.push_back(&event);
    return found;
}

// A cassette with an edit and a second of tone on side B, left by a studio that a
// termination signal ended. Returns its workspace.
fs::path leaveUnsaved(const fs::path& workspaces, const std::string& name, const Clock* clock = nullptr) {
    StudioFixture f(in(workspaces, clock));
    f.start();
    f.insertBlank();
    f->editor().updateDocument([&](CassetteDocument& d) { d.name = name; });
    f.writeTone(TapeSide::b, 44100, 0.5f);
    f.tick();
    f->terminate();
    return f->cassetteSlot().media()->directory();
}

// Starts this test program as a child that runs only `test`, with its workspaces in `workspaces`.
void startChild(QProcess& child, const fs::path& workspaces, const char* test) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NORVO_RECOVERY_CHILD_WORKSPACES"), QString::fromStdString(workspaces.string()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + QString::fromUtf8(test),
                                                          QStringLiteral("--gtest_also_run_disabled_tests")});
}

// The child: records from the player until the parent kills it. Run only by the test below.
TEST(StudioRecoveryChild, DISABLED_RecordsUntilKilled) {
    const char* root = std::getenv("NORVO_RECOVERY_CHILD_WORKSPACES");
    if (!root) GTEST_SKIP() << "started by StudioRecoveryTest.AStudioKilledWhileRecording...";
    StudioFixture f(in(root));
    f.start();
    f.insertBlank();
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Radio Hour"; });
    ASSERT_TRUE(f.playSong(f.makeSong("Tone.wav", 8.0)));
    f->transport(TransportCommand::record);
    // Two seconds as the studio runs them: a buffer, a tick. Copies go at 0, 0.5, 1 and 1.5 s.
    f.run(2.0);
    ASSERT_EQ(f->live().snapshot().transport.mode, TransportMode::recording);
    f->cassetteSlot().recoveryWriter().flush();
    const auto copy = RecoveryCopy::read(f->cassetteSlot().media()->directory(), RecoveryCopy::Images::skipped);
    ASSERT_TRUE(copy);
    // Where the head was when the last copy was written: the recording began at the start.
    const int64_t covered = copy->head;
    std::printf("covered %lld\n", static_cast<long long>(covered));
    // Recorded after the last copy: the workspace keeps their length too.
    f.render(44100);
    const int64_t recorded = f->cassetteSlot().media()->used(TapeSide::a);
    std::printf("recorded %lld %016llx\nready\n", static_cast<long long>(recorded),
                static_cast<unsigned long long>(frameHash(*f->cassetteSlot().media(), TapeSide::a, recorded)));
    std::fflush(stdout);
    // Until killed; should the parent go first, its end of the pipe closes.
    while (std::getchar() != EOF) {
    }
    std::_Exit(3);
}

TEST(StudioRecoveryTest, AStudioKilledWhileRecordingGivesBackEveryFrameItRecorded) {
    test::TemporaryDirectory workspaces;
    QProcess child;
    startChild(child, workspaces.path(), "StudioRecoveryChild.DISABLED_RecordsUntilKilled");
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray output;
    QElapsedTimer waited;
    waited.start();
    while (!output.contains("ready\n") && child.state() == QProcess::Running && waited.elapsed() < 60000) {
        child.waitForReadyRead(1000);
        output += child.readAllStandardOutput();
    }
    ASSERT_TRUE(output.contains("ready\n")) << output.toStdString();
    ASSERT_EQ(::kill(pid_t(child.processId()), SIGKILL), 0);
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    long long covered = 0, recorded = 0;
    unsigned long long hash = 0;
    const QByteArray report = output.mid(output.indexOf("covered "));
    ASSERT_EQ(std::sscanf(report.constData(), "covered %lld\nrecorded %lld %llx", &covered, &recorded, &hash), 3)
        << output.toStdString();
    ASSERT_GT(covered, 44100) << "the copies followed the recording";
    ASSERT_GT(recorded, covered);
    const auto left = workspacesIn(workspaces.path());
    ASSERT_EQ(left.size(), 1u);

    StudioFixture f(in(workspaces.path()));
    f.ui.recoverChoices.push_back(Recover::recover);
    f.start();
    ASSERT_EQ(f.ui.recoverPrompts.size(), 1u);
    EXPECT_EQ(f.ui.recoverPrompts[0].message, QStringLiteral("Recover \u201CRadio Hour\u201D (") +
                                                  formatTapeTime(recorded) + QStringLiteral(" recorded)?"));
    ASSERT_TRUE(f->editor().document());
    ASSERT_TRUE(f->cassetteSlot().media());
    EXPECT_EQ(f->cassetteSlot().media()->directory(), left[0]);
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::a), recorded);
    EXPECT_TRUE(f->cassetteSlot().media()->isDirty(TapeSide::a));
    EXPECT_EQ(frameHash(*f->cassetteSlot().media(), TapeSide::a, recorded), hash) << "every frame recorded";
    EXPECT_GT(f.sidePeak(TapeSide::a, covered, recorded), 0.1f);
    EXPECT_TRUE(f->editor().metadataEdited());
    EXPECT_EQ(f->title().text().toStdString(), "Radio Hour \u2014 Edited");
    const auto& transport = f->live().snapshot().transport;
    ASSERT_TRUE(transport.cassette);
    EXPECT_EQ(transport.cassette->side, TapeSide::a);
    EXPECT_EQ(transport.head, covered) << "where the head was";
    const auto recordings = events(*f->editor().document(), "recorded");
    ASSERT_EQ(recordings.size(), 1u) << "the pass still recording is in the copy";
    EXPECT_EQ(recordings[0]->startFrame, 0);
    EXPECT_EQ(recordings[0]->endFrame, covered);

    // And it plays: back to the start, PLAY, and the deck meter moves.
    f.rewindToStart();
    ASSERT_EQ(f->live().snapshot().transport.head, 0);
    f->transport(TransportCommand::stop);
    f->transport(TransportCommand::play);
    double loudest = -60;
    for (int i = 0; i < 60; ++i) {
        f.render(735);
        f.tick();
        loudest = std::max(loudest, f->live().deckMeter().left.db);
    }
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::playing);
    EXPECT_GT(loudest, -12);
}

// The child: records from the player and says after every buffer how much of side A is
// recorded, until the parent kills it. Run only by the test below.
TEST(StudioRecoveryChild, DISABLED_RecordsBufferAfterBufferUntilKilled) {
    const char* root = std::getenv("NORVO_RECOVERY_CHILD_WORKSPACES");
    if (!root) GTEST_SKIP() << "started by StudioRecoveryTest.AStudioKilledAnywhere...";
    StudioFixture f(in(root));
    f.start();
    f.insertBlank();
    ASSERT_TRUE(f.playSong(f.makeSong("Tone.wav", 30.0)));
    f->transport(TransportCommand::record);
    const TapeMedia& media = *f->cassetteSlot().media();
    // Buffers of 512 and a tick every 735 frames, as the device and the timer interleave;
    // copies go every half second, and are written by then, as they would be in real time.
    // Far past where the parent kills it, so that the signal lands while it records.
    for (int64_t frames = 0; frames < 25 * 44100; frames += 512) {
        f.render(512);
        std::printf("written %lld\n", static_cast<long long>(media.used(TapeSide::a)));
        std::fflush(stdout);
        if ((frames + 512) / 735 == frames / 735) continue;
        f.tick();
        f->cassetteSlot().recoveryWriter().flush();
    }
    while (std::getchar() != EOF) {
    }
    std::_Exit(3);
}

TEST(StudioRecoveryTest, AStudioKilledAnywhereWhileRecordingGivesBackEveryBufferItRecorded) {
    std::mt19937 random(0x6e6f72);
    for (int round = 0; round < 4; ++round) {
        const int64_t killAt = std::uniform_int_distribution<int64_t>(44100, 5 * 44100)(random);
        SCOPED_TRACE("killed once " + std::to_string(killAt) + " frames were recorded");
        test::TemporaryDirectory workspaces;
        QProcess child;
        startChild(child, workspaces.path(), "StudioRecoveryChild.DISABLED_RecordsBufferAfterBufferUntilKilled");
        ASSERT_TRUE(child.waitForStarted(10000));
        // The last whole line the child wrote.
        QByteArray output;
        auto written = [&] {
            const qsizetype end = output.lastIndexOf('\n');
            const qsizetype start = output.lastIndexOf("written ", end);
            return start < 0 ? -1 : std::atoll(output.constData() + start + 8);
        };
        QElapsedTimer waited;
        waited.start();
        while (written() < killAt && child.state() == QProcess::Running && waited.elapsed() < 60000) {
            child.waitForReadyRead(1000);
            output += child.readAllStandardOutput();
        }
        ASSERT_GE(written(), killAt) << output.right(2000).toStdString();
        // It goes on recording until the signal lands, wherever that is.
        ASSERT_EQ(::kill(pid_t(child.processId()), SIGKILL), 0);
        ASSERT_TRUE(child.waitForFinished(10000));
        output += child.readAllStandardOutput();
        const int64_t reported = written();

        StudioFixture f(in(workspaces.path()));
        f.ui.recoverChoices.push_back(Recover::recover);
        f.start();
        ASSERT_EQ(f.ui.recoverPrompts.size(), 1u);
        ASSERT_TRUE(f->cassetteSlot().media());
        const int64_t used = f->cassetteSlot().media()->used(TapeSide::a);
        // Killed after a buffer was written and before it was told: one buffer more.
        EXPECT_GE(used, reported);
        EXPECT_LE(used, reported + 512);
        EXPECT_TRUE(f->cassetteSlot().media()->isDirty(TapeSide::a));
        EXPECT_GT(f.sidePeak(TapeSide::a, reported - 4410, reported), 0.1f) << "the last buffers hold the tone";
    }
}

TEST(StudioRecoveryTest, ATerminationKeepsAnEditedCassetteAndTheNextStartLoadsItAsItWas) {
    test::TemporaryDirectory workspaces;
    const FileData label = test::pngData(QSize(2136, 1008), Qt::yellow);
    fs::path kept;
    Uuid id;
    {
        StudioFixture f(in(workspaces.path()));
        f.start();
        f.insertBlank();
        f->editor().updateDocument([](CassetteDocument& d) {
            d.name = "Road Trip";
            d.jcard.sideBTracks = {"Opener"};
        });
        f->editor().setArtwork(label, ArtworkRole::labelA);
        f.writeTone(TapeSide::b, 2 * 44100, 0.5f);
        f->transport(TransportCommand::flip);
        f.tick();
        f->terminate();
        kept = f->cassetteSlot().media()->directory();
        id = f->editor().document()->id;
    }
    ASSERT_TRUE(fs::is_directory(kept)) << "the termination kept the workspace";
    ASSERT_TRUE(holdsCopy(kept));

    StudioFixture f(in(workspaces.path()));
    f.ui.recoverChoices.push_back(Recover::recover);
    f.start();
    ASSERT_EQ(f.ui.recoverPrompts.size(), 1u);
    EXPECT_EQ(f.ui.recoverPrompts[0].message.toStdString(), "Recover \u201CRoad Trip\u201D (0:02 recorded)?");
    EXPECT_FALSE(f.ui.recoverPrompts[0].informativeText.isEmpty());
    ASSERT_TRUE(f->editor().document());
    EXPECT_EQ(f->editor().document()->id, id);
    EXPECT_EQ(f->editor().document()->name, "Road Trip");
    EXPECT_EQ(f->editor().document()->jcard.sideBTracks, std::vector<std::string>{"Opener"});
    ASSERT_TRUE(f->editor().document()->artwork.count(ArtworkRole::labelA));
    EXPECT_TRUE(f->editor().document()->artwork.at(ArtworkRole::labelA) == label);
    EXPECT_TRUE(f->editor().images().count(ArtworkRole::labelA));
    EXPECT_EQ(f->cassetteSlot().media()->directory(), kept);
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::b), 2 * 44100);
    EXPECT_TRUE(f->cassetteSlot().media()->isDirty(TapeSide::b));
    EXPECT_FALSE(f->cassetteSlot().media()->isDirty(TapeSide::a));
    EXPECT_NEAR(f.sidePeak(TapeSide::b, 0, 2 * 44100), 0.5f, 0.01f);
    EXPECT_FALSE(f->cassetteSlot().fileUrl());
    EXPECT_TRUE(f->cassetteSlot().hasUnsavedChanges());
    EXPECT_EQ(f->title().text().toStdString(), "Road Trip \u2014 Edited");
    ASSERT_TRUE(f->live().snapshot().transport.cassette);
    EXPECT_EQ(f->live().snapshot().transport.cassette->side, TapeSide::b) << "on the side it was left on";

    // Saved now, it is an ordinary cassette: its copy goes, and with it the offer.
    const auto file = f.directory / "Road Trip.norvo";
    bool saved = false;
    f->cassetteSlot().save(file, [&](bool ok) { saved = ok; });
    f.runBackground();
    ASSERT_TRUE(saved);
    f.tick();
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_FALSE(holdsCopy(kept));
    const auto read = TapeFileCodec::read(file, {}, [&](const CassetteType& type) {
        return std::make_shared<TapeMedia>(type, f.directory / "Read");
    });
    EXPECT_EQ(read.media->used(TapeSide::b), 2 * 44100);
    EXPECT_TRUE(read.document.artwork.at(ArtworkRole::labelA) == label);
}

TEST(StudioRecoveryTest, ATerminationWithNothingUnsavedLeavesNothingBehind) {
    test::TemporaryDirectory workspaces;
    {
        StudioFixture f(in(workspaces.path()));
        f.start();
        f.insertBlank();
        f->editor().updateDocument([](CassetteDocument& d) { d.name = "Saved"; });
        f.tick();
        f->cassetteSlot().save(f.directory / "Saved.norvo");
        f.runBackground();
        ASSERT_FALSE(f->cassetteSlot().hasUnsavedChanges());
        f->terminate();
        EXPECT_FALSE(holdsCopy(f->cassetteSlot().media()->directory()));
    }
    EXPECT_TRUE(workspacesIn(workspaces.path()).empty());

    // A workspace an earlier run left without a copy (its cassette was saved) is swept.
    {
        TapeMedia stale(CassetteType::custom(1), workspaces.path());
        stale.keepWorkspace();
    }
    ASSERT_EQ(workspacesIn(workspaces.path()).size(), 1u);
    StudioFixture f(in(workspaces.path()));
    f.start();
    EXPECT_TRUE(f.ui.recoverPrompts.empty());
    EXPECT_TRUE(workspacesIn(workspaces.path()).empty());
}

TEST(StudioRecoveryTest, UnsavedCassettesAreOfferedNewestFirstAndOnlyAnAnswerRemovesOne) {
    test::TemporaryDirectory workspaces;
    test::FakeClock clock(Date{} + std::chrono::hours(24 * 365 * 50));
    const fs::path oldest = leaveUnsaved(workspaces.path(), "Oldest", &clock);
    clock.advance(std::chrono::hours(1));
    const fs::path newest = leaveUnsaved(workspaces.path(), "Newest", &clock);
    clock.set(Date{} + std::chrono::hours(24 * 365 * 50) + std::chrono::minutes(30));
    const fs::path middle = leaveUnsaved(workspaces.path(), "Middle", &clock);

    auto names = [](const test::ScriptedStudioUi& ui) {
        std::vector<std::string> asked;
        for (const auto& prompt : ui.recoverPrompts) asked.push_back(prompt.message.toStdString());
        return asked;
    };
    {
        StudioFixture f(in(workspaces.path()));
        f.ui.recoverChoices = {Recover::discard, Recover::recover};
        f.start();
        EXPECT_EQ(names(f.ui), (std::vector<std::string>{"Recover \u201CNewest\u201D (0:01 recorded)?",
                                                         "Recover \u201CMiddle\u201D (0:01 recorded)?"}));
        EXPECT_FALSE(fs::exists(newest)) << "declined: removed";
        ASSERT_TRUE(f->editor().document());
        EXPECT_EQ(f->editor().document()->name, "Middle");
        EXPECT_TRUE(holdsCopy(oldest)) << "not asked about, so kept for later";
        // Dropped at quit: nothing of it is offered again.
        f.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
        EXPECT_EQ(f->requestQuit({}), StudioModel::QuitReply::now);
    }
    EXPECT_FALSE(fs::exists(middle));
    {
        // Closing the question answers nothing: the cassette stays for the next start.
        StudioFixture f(in(workspaces.path()));
        f.start();
        EXPECT_EQ(names(f.ui), std::vector<std::string>{"Recover \u201COldest\u201D (0:01 recorded)?"});
        EXPECT_FALSE(f->editor().document());
        EXPECT_TRUE(holdsCopy(oldest));
    }
    StudioFixture f(in(workspaces.path()));
    f.ui.recoverChoices = {Recover::recover};
    f.start();
    ASSERT_TRUE(f->editor().document());
    EXPECT_EQ(f->editor().document()->name, "Oldest");
}

TEST(StudioRecoveryTest, TheCopyIsWrittenBehindAtMostEveryHalfSecondAndOnlyWhileSomethingIsUnsaved) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    const fs::path workspace = f->cassetteSlot().media()->directory();
    for (int i = 0; i < 60; ++i) f.tick();
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(f->cassetteSlot().recoveryWriter().copiesWritten(), 0u) << "a blank cassette has nothing to lose";
    EXPECT_FALSE(holdsCopy(workspace));

    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Take 1"; });
    f.tick();
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(f->cassetteSlot().recoveryWriter().copiesWritten(), 1u) << "the first change at once";
    EXPECT_EQ(copyIn(workspace)->document.name, "Take 1");

    // A knob dragged through many values: at most one copy every half second.
    for (int i = 2; i <= 30; ++i) {
        f->editor().updateDocument([&](CassetteDocument& d) { d.name = "Take " + std::to_string(i); });
        f.tick(0.02);
    }
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(f->cassetteSlot().recoveryWriter().copiesWritten(), 2u) << "0.58 s of changes";
    f.tick(0.5);
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(f->cassetteSlot().recoveryWriter().copiesWritten(), 3u);
    EXPECT_EQ(copyIn(workspace)->document.name, "Take 30");
    f.tick(0.5);
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(f->cassetteSlot().recoveryWriter().copiesWritten(), 3u) << "nothing changed";

    // Recorded audio is a change too.
    f.writeTone(TapeSide::a, 22050, 0.25f);
    f.tick(0.5);
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(copyIn(workspace)->used, (std::array<int64_t, 2>{22050, 0}));
    EXPECT_EQ(copyIn(workspace)->dirty, (std::array<bool, 2>{true, false}));

    // Saved: the copy goes.
    const auto file = f.directory / "Take.norvo";
    f->cassetteSlot().save(file);
    f.runBackground();
    f.tick();
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_FALSE(holdsCopy(workspace));
    EXPECT_FALSE(fs::exists(workspace / RecoveryCopy::folderName));

    // Edited again, it names its file; dropped at eject, its workspace goes.
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Take 31"; });
    f.tick();
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_EQ(copyIn(workspace)->file, file);
    f.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    f->cassetteSlot().eject();
    f->cassetteSlot().recoveryWriter().flush();
    EXPECT_FALSE(fs::exists(workspace));
}

TEST(StudioRecoveryTest, ASideTheWorkspaceKeptLongerThanItsCopyComesAtThatLengthAndOneWithoutLengthsAsItsCopySays) {
    using Lengths = std::array<int64_t, 2>;
    using Dirty = std::array<bool, 2>;
    test::TemporaryDirectory workspaces;
    const fs::path kept = leaveUnsaved(workspaces.path(), "Kept");
    ASSERT_EQ(copyIn(kept)->used, (Lengths{0, 44100}));
    {
        RecordedLengths lengths(kept);
        lengths.store(TapeSide::a, 22050);
        lengths.store(TapeSide::b, 1000);
    }
    EXPECT_EQ(copyIn(kept)->used, (Lengths{22050, 44100})) << "the longer of each side";
    EXPECT_EQ(copyIn(kept)->dirty, (Dirty{true, true})) << "recorded after the copy: in no file yet";
    RecordedLengths(kept).store(TapeSide::a, int64_t{1} << 40);
    EXPECT_EQ(copyIn(kept)->used[0], copyIn(kept)->document.type.sideFrames()) << "never past the side";

    fs::remove(kept / RecordedLengths::fileName);
    EXPECT_EQ(copyIn(kept)->used, (Lengths{0, 44100}));
    EXPECT_EQ(copyIn(kept)->dirty, (Dirty{false, true}));
    StudioFixture f(in(workspaces.path()));
    f.ui.recoverChoices.push_back(Recover::recover);
    f.start();
    ASSERT_TRUE(f->cassetteSlot().media());
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::a), 0);
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::b), 44100);
    EXPECT_EQ(RecordedLengths::read(kept), (Lengths{0, 44100})) << "kept from then on";
}

TEST(StudioRecoveryTest, ACassetteThatCannotBeTakenOverRaisesAnAlertAndStaysForLater) {
    struct Case {
        std::string name;
        std::function<void(const fs::path&)> damage;
        std::string reason;
    };
    const Case cases[] = {
        {"a side file gone", [](const fs::path& kept) { fs::remove(kept / "side-a.pcm"); }, "side-a.pcm"},
        {"an image named outside its folder",
         [](const fs::path& kept) {
             std::ifstream in(kept / RecoveryCopy::fileName);
             std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
             const auto at = text.find("\"booklet\":[]");
             ASSERT_NE(at, std::string::npos);
             text.replace(at, 12, "\"booklet\":[\"recovery/../side-a.pcm\"]");
             std::ofstream(kept / RecoveryCopy::fileName, std::ios::trunc) << text;
         },
         "damaged"},
    };
    for (const Case& c : cases) {
        test::TemporaryDirectory workspaces;
        const fs::path kept = leaveUnsaved(workspaces.path(), "Broken");
        c.damage(kept);
        StudioFixture f(in(workspaces.path()));
        f.ui.recoverChoices.push_back(Recover::recover);
        f.start();
        EXPECT_FALSE(f->editor().document()) << c.name;
        ASSERT_TRUE(f->alerts().shown()) << c.name;
        EXPECT_EQ(f->alerts().shown()->title, "Cannot recover cassette");
        EXPECT_TRUE(f->alerts().shown()->message.contains(QString::fromStdString(c.reason)))
            << f->alerts().shown()->message.toStdString();
        EXPECT_TRUE(holdsCopy(kept)) << c.name;
        EXPECT_TRUE(fs::exists(kept / "side-b.pcm")) << c.name;
    }
}

// MARK: - The studio going while background work runs

TEST(StudioShutdownTest, ASaveRunningWhenTheStudioIsTerminatedEndsBeforeTheStudioDoes) {
    StudioFixture::Options options;
    options.threadedBackground = true;
    StudioFixture f(options);
    f.start();
    f.insertBlank();
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Long"; });
    f.writeTone(TapeSide::a, 20 * 44100, 0.5f);
    const fs::path workspace = f->cassetteSlot().media()->directory();
    const auto file = f.directory / "Long.norvo";
    f->cassetteSlot().save(file);
    ASSERT_TRUE(f->cassetteSlot().busy());
    f->terminate();
    const std::size_t posts = f.executor.posts();
    f.model.reset();
    // The save finished writing and reported back to a main thread that was still there.
    EXPECT_GT(f.executor.posts(), posts);
    EXPECT_TRUE(fs::is_regular_file(file));
    const auto read = TapeFileCodec::read(file, {}, [&](const CassetteType& type) {
        return std::make_shared<TapeMedia>(type, f.directory / "Read");
    });
    EXPECT_EQ(read.media->used(TapeSide::a), 20 * 44100);
    EXPECT_TRUE(holdsCopy(workspace)) << "still unsaved when the signal came: kept";
}

TEST(StudioShutdownTest, QuittingLeavesACassetteReadThatHangsBehind) {
    StudioFixture::Options options;
    options.modelThreads = true;
    StudioFixture f(options);
    f.start();
    // Opening a pipe for reading waits until something opens it for writing: a read that hangs.
    const auto pipe = f.directory / "Stuck.norvo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    f->open(pipe);
    ASSERT_TRUE(f->cassetteSlot().busy());
    EXPECT_EQ(f->requestQuit({}), StudioModel::QuitReply::now);
    f.model.reset();
    EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), 0) << "nothing the application waits for at exit";

    // Let the read go, so that it does not outlive the test (bounded: a reader that
    // never opened the pipe is not waited for).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != ENXIO || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::yield();
    }
}

}  // namespace
}  // namespace norvo
