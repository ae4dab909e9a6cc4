#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "AudioEngine/TapeClock.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Cassette/ZipArchiveReader.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"

namespace norvo {
namespace {

using test::StudioFixture;
using Choice = StudioUi::SaveChoice;

int64_t loudestFrame(const TapeMedia& media, TapeSide side) {
    const int16_t* frames = media.storage(side).frames();
    int64_t best = 0;
    int peak = -1;
    for (int64_t i = 0; i < media.used(side); ++i) {
        const int v = std::abs(int(frames[2 * i]));
        if (v > peak) peak = v, best = i;
    }
    return best;
}

std::vector<const HistoryEvent*> events(const CassetteDocument& document, const std::string& type) {
    std::vector<const HistoryEvent*> found;
    for (const auto& event : document.history)
        if (event.type == type) found.push_back(&event);
    return found;
}

// The direction a window manager gives a title when it looks no further than the first
// strong character, into isolates too.
QChar::Direction firstStrongDirection(const QString& text) {
    for (const uint character : text.toUcs4()) {
        const QChar::Direction direction = QChar::direction(char32_t(character));
        if (direction == QChar::DirL || direction == QChar::DirR || direction == QChar::DirAL) return direction;
    }
    return QChar::DirON;
}

FileData entry(const std::filesystem::path& file, const std::string& name) {
    auto archive = ZipArchiveReader::open(file);
    auto index = archive->find(name);
    if (!index) return {};
    return archive->read(*index, uint64_t{1} << 30).value_or(FileData{});
}

// Opens a cassette file and waits for the read to be installed.
void openFile(StudioFixture& f, const std::filesystem::path& file) {
    f->open(file);
    f.runBackground();
}

TEST(StudioCassetteAcceptanceTest, RecordSaveAndReopenKeepsAudioMarkersAndPosition) {
    StudioFixture f;
    f.start();
    f->cassetteSlot().newCassette(CassetteType::c60());
    ASSERT_TRUE(f->editor().document());
    EXPECT_EQ(f->title().text(), "Untitled C60");

    const auto song = f.makeSong("Song.wav", 4.0, 1.0);
    ASSERT_TRUE(f.playSong(song));
    f->transport(TransportCommand::record);
    f.run(2.0);
    f->transport(TransportCommand::stop);
    f.tick();
    EXPECT_EQ(f->title().text(), "Untitled C60 \u2014 Edited");

    const auto recorded = f->cassetteSlot().media()->used(TapeSide::a);
    EXPECT_NEAR(double(recorded), 2.0 * 44100, 44100 * 0.1);
    const int64_t click = loudestFrame(*f->cassetteSlot().media(), TapeSide::a);
    EXPECT_GT(click, 0);
    EXPECT_FALSE(f->editor().document()->artwork.count(ArtworkRole::thumbnail));

    const auto file = f.directory / "My Tape.norvo";
    bool saved = false;
    f->cassetteSlot().save(file, [&](bool ok) { saved = ok; });
    ASSERT_TRUE(f->cassetteSlot().busy());
    EXPECT_EQ(f->cassetteSlot().busy()->message, "Saving My Tape\u2026");
    f.runBackground();
    ASSERT_TRUE(saved);
    EXPECT_EQ(f->title().text(), "My Tape");
    EXPECT_FALSE(f->cassetteSlot().hasUnsavedChanges());
    EXPECT_FALSE(f->editor().document()->artwork.count(ArtworkRole::thumbnail));
    EXPECT_FALSE(entry(file, "artwork/thumbnail.png").empty());
    const auto head = f->live().snapshot().transport.head;

    f->cassetteSlot().eject();
    ASSERT_FALSE(f->editor().document());
    openFile(f, file);
    ASSERT_TRUE(f->editor().document());
    EXPECT_EQ(f->cassetteSlot().fileUrl(), file);
    EXPECT_EQ(f->live().snapshot().transport.head, head);

    const auto recordings = events(*f->editor().document(), "recorded");
    ASSERT_EQ(recordings.size(), 1u);
    EXPECT_EQ(recordings[0]->side, TapeSide::a);
    EXPECT_EQ(recordings[0]->source, "file");
    EXPECT_EQ(recordings[0]->sourceFormat, "wav");
    ASSERT_EQ(f->editor().document()->sideA.markers.size(), 1u);
    EXPECT_EQ(f->editor().document()->sideA.markers[0].title, "Song");
    EXPECT_EQ(f->editor().document()->sideA.markers[0].kind, "track");
    EXPECT_EQ(f->editor().document()->jcard.sideATracks, std::vector<std::string>{"Song"});
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::a), recorded);
    EXPECT_LE(std::llabs(loudestFrame(*f->cassetteSlot().media(), TapeSide::a) - click), 2);

    // Re-saving without new audio copies the encoded side as it was.
    const auto copy = f.directory / "Copy.norvo";
    f->cassetteSlot().save(copy);
    f.runBackground();
    const FileData original = entry(file, "audio/side-a.m4a");
    EXPECT_FALSE(original.empty());
    EXPECT_TRUE(original == entry(copy, "audio/side-a.m4a"));
}

TEST(StudioCassetteAcceptanceTest, MoreRecordedOnAReopenedCassetteIsSavedOverItsOwnFile) {
    StudioFixture f;
    f.start();
    f->cassetteSlot().newCassette(CassetteType::c60());
    ASSERT_TRUE(f.playSong(f.makeSong("One.wav", 3.0, 1.0)));
    f->transport(TransportCommand::record);
    f.run(2.0);
    f->transport(TransportCommand::stop);
    f.tick();
    const auto file = f.directory / "Tape.norvo";
    bool saved = false;
    f->cassetteSlot().save(file, [&](bool ok) { saved = ok; });
    f.runBackground();
    ASSERT_TRUE(saved);
    const auto first = f->cassetteSlot().media()->used(TapeSide::a);
    f->cassetteSlot().eject();
    f->open(file);
    f.runBackground();
    ASSERT_TRUE(f->editor().document());
    ASSERT_EQ(f->cassetteSlot().media()->used(TapeSide::a), first);
    // Record more after what is there, then save over the file the cassette came from.
    f->source().stop();
    ASSERT_TRUE(f.playSong(f.makeSong("Two.wav", 3.0, 0.5)));
    f->transport(TransportCommand::record);
    f.run(1.5);
    f->transport(TransportCommand::stop);
    f.tick();
    const auto second = f->cassetteSlot().media()->used(TapeSide::a);
    EXPECT_GT(second, first);
    saved = false;
    f->cassetteSlot().save(file, [&](bool ok) { saved = ok; });
    f.runBackground();
    ASSERT_TRUE(saved) << (f->alerts().shown() ? f->alerts().shown()->message.toStdString() : "");
    EXPECT_FALSE(f->cassetteSlot().hasUnsavedChanges());
    const float peakOne = f.sidePeak(TapeSide::a, 0, first);
    f->cassetteSlot().eject();
    f->open(file);
    f.runBackground();
    ASSERT_TRUE(f->editor().document()) << (f->alerts().shown() ? f->alerts().shown()->message.toStdString() : "");
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::a), second);
    EXPECT_NEAR(f.sidePeak(TapeSide::a, 0, first), peakOne, 0.05f);
    EXPECT_GT(f.sidePeak(TapeSide::a, first, second), 0.05f);
    EXPECT_EQ(f->editor().document()->sideA.markers.size(), 2u);
    // Flip and record side B of the reopened cassette, save again, reopen.
    f->transport(TransportCommand::flip);
    f.tick();
    f->transport(TransportCommand::record);
    f->source().stop();
    ASSERT_TRUE(f.playSong(f.makeSong("Three.wav", 2.0, 0.5)));
    f.run(1.0);
    f->transport(TransportCommand::stop);
    f.tick();
    const auto sideB = f->cassetteSlot().media()->used(TapeSide::b);
    EXPECT_GT(sideB, 0);
    f->cassetteSlot().save(file);
    f.runBackground();
    f->cassetteSlot().eject();
    f->open(file);
    f.runBackground();
    ASSERT_TRUE(f->editor().document());
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::a), second);
    EXPECT_EQ(f->cassetteSlot().media()->used(TapeSide::b), sideB);
}

// MARK: - The prompt before a replacement

enum class Operation { newCassette, open, eject };

struct PromptCase {
    Operation operation;
    Choice choice;
};

class StudioPromptTest : public ::testing::TestWithParam<PromptCase> {};

TEST_P(StudioPromptTest, TheAnswerDecidesWhetherTheCassetteIsReplaced) {
    StudioFixture f;
    f.start();
    // Another cassette on disk to open.
    f.insertBlank();
    const auto other = f.directory / "Other.norvo";
    f->cassetteSlot().save(other);
    f.runBackground();

    f.insertBlank();
    const auto file = f.directory / "Mine.norvo";
    f->cassetteSlot().save(file);
    f.runBackground();
    f->editor().updateDocument([](CassetteDocument& d) { d.jcard.title = "Changed"; });
    const Uuid mine = f->editor().document()->id;
    ASSERT_TRUE(f->cassetteSlot().hasUnsavedChanges());

    f.ui.saveChoices.push_back(GetParam().choice);
    std::optional<bool> done;
    auto completion = [&](bool ran) { done = ran; };
    switch (GetParam().operation) {
    case Operation::newCassette: f->cassetteSlot().newCassette(CassetteType::c60(), completion); break;
    case Operation::open: f->open(other, completion); break;
    case Operation::eject: f->cassetteSlot().eject(completion); break;
    }
    ASSERT_EQ(f.ui.prompts.size(), 1u);
    EXPECT_EQ(f.ui.prompts[0].message, "Save the cassette \u201CMine\u201D?");
    EXPECT_EQ(f.ui.prompts[0].informativeText,
              "It has recordings or changes that are not in an .norvo file yet. If you don't save, they are lost.");

    if (GetParam().choice == Choice::save) {
        EXPECT_EQ(f->editor().document()->id, mine);  // not before the save has finished
        EXPECT_FALSE(done);
    }
    f.runBackground();

    if (GetParam().choice == Choice::cancel) {
        EXPECT_EQ(done, false);
        ASSERT_TRUE(f->editor().document());
        EXPECT_EQ(f->editor().document()->id, mine);
        EXPECT_TRUE(f->cassetteSlot().hasUnsavedChanges());
        return;
    }
    EXPECT_EQ(done, true);
    switch (GetParam().operation) {
    case Operation::newCassette:
        ASSERT_TRUE(f->editor().document());
        EXPECT_NE(f->editor().document()->id, mine);
        EXPECT_FALSE(f->cassetteSlot().fileUrl());
        break;
    case Operation::open: EXPECT_EQ(f->cassetteSlot().fileUrl(), other); break;
    case Operation::eject: EXPECT_FALSE(f->editor().document()); break;
    }
    // Only Save wrote the change.
    openFile(f, file);
    EXPECT_EQ(f->editor().document()->jcard.title, GetParam().choice == Choice::save ? "Changed" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StudioPromptTest,
    ::testing::Values(PromptCase{Operation::newCassette, Choice::save},
                      PromptCase{Operation::newCassette, Choice::dontSave},
                      PromptCase{Operation::newCassette, Choice::cancel}, PromptCase{Operation::open, Choice::save},
                      PromptCase{Operation::open, Choice::dontSave}, PromptCase{Operation::open, Choice::cancel},
                      PromptCase{Operation::eject, Choice::save}, PromptCase{Operation::eject, Choice::dontSave},
                      PromptCase{Operation::eject, Choice::cancel}));

TEST(StudioCassetteTest, SaveBranchStopsTheRecordingAndWritesItsPassFirst) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    ASSERT_TRUE(f.playSong(f.makeSong("Song.wav", 3.0)));
    f->transport(TransportCommand::record);
    f.run(1.0);
    const auto file = f.directory / "Passed.norvo";
    f.ui.saveChoices.push_back(Choice::save);
    f.ui.saveAnswers.push_back(file);
    bool created = false;
    f->cassetteSlot().newCassette(CassetteType::c60(), [&](bool ran) { created = ran; });
    f.runBackground();
    ASSERT_TRUE(created);
    ASSERT_EQ(f.ui.savePanels.size(), 1u);
    EXPECT_EQ(f.ui.savePanels[0].proposedName, "Mixtape.norvo");
    openFile(f, file);
    EXPECT_EQ(events(*f->editor().document(), "recorded").size(), 1u);
    EXPECT_EQ(f->editor().document()->sideA.markers.size(), 1u);
    EXPECT_FALSE(f->cassetteSlot().hasUnsavedChanges());
}

TEST(StudioCassetteTest, TheWorkersProgressReachesTheBusyRecord) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f.writeTone(TapeSide::a, 44100 * 20, 0.3f);
    std::vector<double> progress;
    QObject listener;  // gone before `progress`: the fixture's last background work must not reach it
    QObject::connect(f.model.get(), &StudioModel::busyChanged, &listener, [&] {
        if (f->cassetteSlot().busy()) progress.push_back(f->cassetteSlot().busy()->progress);
    });
    const auto file = f.directory / "Progress.norvo";
    f->cassetteSlot().save(file);
    f.runBackground();
    f->open(file);
    f.runBackground();
    ASSERT_GE(progress.size(), 4u);
    EXPECT_TRUE(std::is_sorted(progress.begin() + 1, progress.begin() + 3));
    EXPECT_NE(std::find(progress.begin(), progress.end(), 1.0), progress.end());
    EXPECT_FALSE(f->cassetteSlot().busy());
    EXPECT_EQ(f.ui.recentDocuments, (std::vector<std::filesystem::path>{file, file}));
}

TEST(StudioCassetteTest, EditsMadeDuringASaveKeepTheCassetteUnsaved) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->cassetteSlot().save(f.directory / "A.norvo");
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "During"; });
    f.runBackground();
    EXPECT_TRUE(f->editor().metadataEdited());
    EXPECT_EQ(f->title().text(), "A \u2014 Edited");
}

TEST(StudioCassetteTest, WriteProtectWhileRecordingStopsCommitsAndRefusesUntilTapedOver) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    ASSERT_TRUE(f.playSong(f.makeSong("Song.wav", 3.0)));
    f->transport(TransportCommand::record);
    f.run(0.5);
    ASSERT_EQ(f->live().snapshot().transport.mode, TransportMode::recording);
    f->editor().advanceWriteProtect(TapeSide::a);
    f.tick();
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::stopped);
    EXPECT_EQ(events(*f->editor().document(), "recorded").size(), 1u);

    f->transport(TransportCommand::record);
    EXPECT_EQ(f.ui.beeps, 1);
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::stopped);
    f->editor().advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->editor().document()->sideA.writeProtect, WriteProtect::tapedOver);
    f->transport(TransportCommand::record);
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::recordArmed);
    EXPECT_EQ(f.ui.beeps, 1);
    EXPECT_EQ(events(*f->editor().document(), "write_protect_changed").size(), 2u);
}

TEST(StudioCassetteTest, SavingWhileArmedIsRefusedAtOnce) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->transport(TransportCommand::record);
    std::optional<bool> done;
    f->cassetteSlot().save(f.directory / "Armed.norvo", [&](bool ok) { done = ok; });
    EXPECT_EQ(done, false);
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "The deck is recording");
    EXPECT_EQ(f->alerts().shown()->message, "Press STOP before saving the cassette.");
    EXPECT_FALSE(f->cassetteSlot().busy());
    EXPECT_EQ(f.queuedBackground(), 0u);
    EXPECT_FALSE(std::filesystem::exists(f.directory / "Armed.norvo"));
}

TEST(StudioCassetteTest, ADamagedFileLeavesAnEmptyDeckWithTheReason) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    const auto file = f.directory / "Broken.norvo";
    std::ofstream(file) << "this is not a cassette";
    f->open(file);
    ASSERT_TRUE(f->cassetteSlot().busy());
    EXPECT_EQ(f->cassetteSlot().busy()->message, "Loading Broken\u2026");
    EXPECT_FALSE(f->editor().document());
    f.runBackground();
    EXPECT_FALSE(f->cassetteSlot().busy());
    EXPECT_FALSE(f->editor().document());
    EXPECT_FALSE(f->cassetteSlot().media());
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Cannot open cassette");
    EXPECT_FALSE(f->alerts().shown()->message.isEmpty());
    EXPECT_FALSE(f->live().snapshot().transport.cassette);
}

TEST(StudioCassetteTest, InsertRestoresAStoredPositionClampedToTheSide) {
    StudioFixture f;
    f.start();
    CassetteDocument document(CassetteType::c60(), "", CassetteDesign{});
    TapePositionStore(f.defaults).save({TapeSide::b, CassetteType::c60().sideFrames() + 5000, {}}, document.id);
    document.sideA.writeProtect = WriteProtect::tapedOver;
    document.sideB.writeProtect = WriteProtect::broken;
    f->cassetteSlot().insert(document, std::make_shared<TapeMedia>(CassetteType::c60(), f.workspaces), std::nullopt);
    const auto& transport = f->live().snapshot().transport;
    ASSERT_TRUE(transport.cassette);
    EXPECT_EQ(transport.cassette->side, TapeSide::b);
    EXPECT_EQ(transport.head, CassetteType::c60().sideFrames());
    EXPECT_FALSE(transport.cassette->protectedA);
    EXPECT_TRUE(transport.cassette->protectedB);
}

// MARK: - Refusals while busy, and saves that finish after the deck changed

TEST(StudioCassetteMendTest, NewOpenChooseAndEjectAreRefusedWhileASaveRuns) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Old"; });
    const auto file = f.directory / "Old.norvo";
    f->cassetteSlot().save(file);
    ASSERT_TRUE(f->cassetteSlot().busy());
    const Uuid old = f->editor().document()->id;

    std::vector<bool> results;
    auto note = [&](bool ran) { results.push_back(ran); };
    f.ui.saveChoices.push_back(Choice::dontSave);
    f->cassetteSlot().newCassette(CassetteType::c60(), note);
    f->open(file, note);
    f->cassetteSlot().chooseCassette(note);
    f->cassetteSlot().eject(note);
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, false}));
    EXPECT_EQ(f.ui.beeps, 4);
    EXPECT_TRUE(f.ui.prompts.empty());
    EXPECT_TRUE(f.ui.openPanels.empty());

    f.runBackground();
    EXPECT_EQ(f->editor().document()->id, old);
    EXPECT_EQ(f->cassetteSlot().fileUrl(), file);
    EXPECT_FALSE(f->cassetteSlot().hasUnsavedChanges());
}

TEST(StudioCassetteMendTest, ASaveFinishingAfterTheCassetteWasReplacedLeavesTheNewOneAlone) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    const auto file = f.directory / "Old.norvo";
    f->cassetteSlot().save(file);
    f->cassetteSlot().createBlankCassette(CassetteType::c60());
    const Uuid fresh = f->editor().document()->id;
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Fresh"; });
    f.runBackground();
    EXPECT_EQ(f->editor().document()->id, fresh);
    EXPECT_FALSE(f->cassetteSlot().fileUrl());
    EXPECT_TRUE(f->cassetteSlot().hasUnsavedChanges());
    // So its next save asks where to write, instead of overwriting the old file.
    f->cassetteSlot().saveAs();
    ASSERT_EQ(f.ui.savePanels.size(), 1u);
    EXPECT_EQ(f.ui.savePanels[0].proposedName, "Fresh.norvo");
    EXPECT_TRUE(f.ui.savePanels[0].directory.empty()) << "no folder of its own: where cassettes were last chosen";
}

TEST(StudioCassetteMendTest, ANameCannotBreakOrReorderTheTitleOrTheSentencesItStandsIn) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "\u05E9\u05DC\u05D5\u05DD"; });
    EXPECT_EQ(f->title().text(), QStringLiteral("\u200E\u2068\u05E9\u05DC\u05D5\u05DD\u2069 \u2014 Edited"))
        << "a right-to-left name isolated, so that \"Edited\" stays after it";
    // Whatever script the name begins with, the line reads left to right, the name first.
    for (const char* name : {"\u05E9\u05DC\u05D5\u05DD", "\u0645\u0631\u062D\u0628\u0627 Mix",
                             "7 \u05E9\u05D9\u05E8\u05D9\u05DD", "Tape \u05E9\u05DC\u05D5\u05DD"}) {
        f->editor().updateDocument([&](CassetteDocument& d) { d.name = name; });
        EXPECT_EQ(firstStrongDirection(f->title().text()), QChar::DirL) << name;
        EXPECT_TRUE(f->title().text().endsWith(QStringLiteral("\u2069 \u2014 Edited"))) << name;
    }
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Mix\u202E\nTape"; });
    EXPECT_EQ(f->title().text(), QStringLiteral("Mix\uFFFD\uFFFDTape \u2014 Edited")) << "drawn with controls replaced";
    f->cassetteSlot().eject();
    ASSERT_EQ(f.ui.prompts.size(), 1u);
    EXPECT_EQ(f.ui.prompts[0].message, QStringLiteral("Save the cassette \u201CMix\\u202E\\x0ATape\u201D?"))
        << "escaped in the sentence";

    // A file name in another encoding, with an override: the same in the busy line.
    const auto file = f.directory / "Caf\xe9\u202E.norvo";
    f->cassetteSlot().save(file);
    ASSERT_TRUE(f->cassetteSlot().busy());
    EXPECT_EQ(f->cassetteSlot().busy()->message, QStringLiteral("Saving Caf\\xE9\\u202E\u2026"));
    f.runBackground();
    EXPECT_EQ(f->title().text(), QStringLiteral("Caf\uFFFD\uFFFD"));
}

TEST(StudioCassetteMendTest, SaveAsStartsInTheCassettesOwnFolder) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    const auto folder = f.directory / "Caf\xe9";  // a folder named in Latin-1
    std::filesystem::create_directory(folder);
    f->cassetteSlot().save(folder / "Mix.norvo");
    f.runBackground();
    ASSERT_EQ(f->cassetteSlot().fileUrl(), folder / "Mix.norvo");
    f->cassetteSlot().saveAs();
    ASSERT_EQ(f.ui.savePanels.size(), 1u);
    EXPECT_EQ(f.ui.savePanels[0].directory, folder);
    EXPECT_EQ(f.ui.savePanels[0].proposedName, "Mix.norvo");
}

TEST(StudioCassetteMendTest, TheProposedFileNameIsOneFileInTheChosenFolder) {
    struct Case {
        std::string name;
        QString proposed;
    };
    const std::string longName(150, 'x');
    const Case cases[] = {
        {"Road Trip & <b>Mix</b>", QStringLiteral("Road Trip & <b>Mix<-b>.norvo")},
        {"AC/DC\tLive\n", QStringLiteral("AC-DCLive.norvo")},
        {"   ", QStringLiteral("Mixtape.norvo")},
        {"..hidden", QStringLiteral("hidden.norvo")},
        {"..", QStringLiteral("Mixtape.norvo")},
        {longName + longName, QString::fromStdString(std::string(200, 'x')) + QStringLiteral(".norvo")},
        {std::string(120, 'x') +
             "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
             "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
             "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9",
         QString::fromStdString(std::string(120, 'x')) + QString(40, QChar(0xe9)) + QStringLiteral(".norvo")},
    };
    for (const Case& c : cases) {
        StudioFixture f;
        f.start();
        f.insertBlank();
        f->editor().updateDocument([&](CassetteDocument& d) { d.name = c.name; });
        // The user accepts the panel's proposal in the folder it shows.
        f.ui.whileModal = [&] {
            f.ui.saveAnswers.push_back(f.directory / f.ui.savePanels.back().proposedName.toStdString());
        };
        bool saved = false;
        f->cassetteSlot().saveAs([&](bool ok) { saved = ok; });
        f.runBackground();
        ASSERT_EQ(f.ui.savePanels.size(), 1u);
        EXPECT_EQ(f.ui.savePanels[0].proposedName.toStdString(), c.proposed.toStdString());
        EXPECT_TRUE(saved) << c.name;
        EXPECT_FALSE(f->alerts().shown()) << c.name;
        EXPECT_TRUE(std::filesystem::is_regular_file(f.directory / c.proposed.toStdString())) << c.name;
    }
}

TEST(StudioCassetteMendTest, AQuitDuringASaveWaitsForItInsteadOfWritingAgain) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Unsaved"; });
    f->cassetteSlot().save(f.directory / "Quit.norvo");
    ASSERT_TRUE(f->cassetteSlot().hasUnsavedChanges());
    f.ui.saveChoices.push_back(Choice::save);
    std::optional<bool> quit;
    EXPECT_EQ(f->requestQuit([&](bool ok) { quit = ok; }), StudioModel::QuitReply::later);
    EXPECT_TRUE(f.ui.prompts.empty());
    EXPECT_EQ(f.queuedBackground(), 1u);
    f.runBackground();
    EXPECT_EQ(quit, true);
    EXPECT_EQ(f.queuedBackground(), 0u);
    EXPECT_EQ(f->output(), nullptr);  // shut down
}

TEST(StudioCassetteMendTest, AQuitDuringASaveAsksAgainWhenEditsCameMeanwhile) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->cassetteSlot().save(f.directory / "Quit.norvo");
    std::optional<bool> quit;
    EXPECT_EQ(f->requestQuit([&](bool ok) { quit = ok; }), StudioModel::QuitReply::later);
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Later"; });
    f.ui.saveChoices.push_back(Choice::cancel);
    f.runBackground();
    EXPECT_EQ(f.ui.prompts.size(), 1u);
    EXPECT_EQ(quit, false);
    EXPECT_NE(f->output(), nullptr);
}

TEST(StudioQuitTest, SaveAnswerWaitsForTheWriteAndACancelledPanelKeepsRunning) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Unsaved"; });
    f.ui.saveChoices = {Choice::save, Choice::save};
    EXPECT_EQ(f->requestQuit({}), StudioModel::QuitReply::cancel);  // the panel was cancelled
    EXPECT_NE(f->output(), nullptr);

    f.ui.saveAnswers.push_back(f.directory / "Unsaved.norvo");
    std::optional<bool> quit;
    EXPECT_EQ(f->requestQuit([&](bool ok) { quit = ok; }), StudioModel::QuitReply::later);
    EXPECT_FALSE(quit);
    f.runBackground();
    EXPECT_EQ(quit, true);
    EXPECT_EQ(f->output(), nullptr);
    EXPECT_FALSE(f->tuner().isOn());
}

}  // namespace
}  // namespace norvo
