#include <cmath>
#include <fstream>
#include <limits>

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include "AudioEngine/ReelGeometry.hpp"
#include "AudioEngine/TapeSound/TapeSoundLibrary.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

double decibels(double ratio) { return 20 * std::log10(ratio); }

void writeText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// The tape played back at the deck volume, through the tape sound the model pushed.
double playbackRatio(StudioFixture& f) {
    f.writeTone(TapeSide::a, 44100, 0.5f);
    f->transport(TransportCommand::play);
    f.render(4410);
    const auto& left = f.output->left();
    double out = 0;
    for (float v : left) out = std::max(out, double(std::fabs(v)));
    return out / 0.5;
}

TEST(StudioModelStartTest, ConstructionPushesDeckVolumeAndTheStoredTapeSound) {
    StudioFixture clean;
    clean.start();
    clean.insertBlank();
    EXPECT_NEAR(playbackRatio(clean), 0.8, 1e-3);

    // The core's own deck volume is 1 and its sound clean: the model pushed both.
    const std::string profile = TapeSoundLibrary::builtIns().front().id;
    StudioFixture::Options options;
    options.presetDefaults = [&](DefaultsStore& d) {
        d.setString(std::string(TapeSoundLibrary::selectedKey), profile);
    };
    StudioFixture coloured(options);
    EXPECT_EQ(coloured->tapeSounds().library().selectedID(), profile);
    coloured.start();
    coloured.insertBlank();
    EXPECT_GT(std::fabs(playbackRatio(coloured) - 0.8), 1e-3);
}

struct LevelCase {
    double level;
    double db;
};

class RecordLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(RecordLevelTest, SetsTheRecordingGain) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    f->setRecordLevel(GetParam().level);
    EXPECT_NEAR(decibels(StudioModel::recordGain(GetParam().level)), GetParam().db, 1e-4);
    ASSERT_TRUE(f.playSong(f.makeSong("tone.wav", 2.0)));
    f->transport(TransportCommand::record);
    f.render(22050);
    f.tick();
    ASSERT_EQ(f->live().snapshot().transport.mode, TransportMode::recording);
    // The generated tone peaks at 0.3.
    EXPECT_NEAR(decibels(f.sidePeak(TapeSide::a, 0, 20000) / 0.3), GetParam().db, 0.1);
}

TEST(StudioModelStartTest, KnobValuesStayInRangeAndNonNumbersAreIgnored) {
    StudioFixture f;
    f->setDeckVolume(std::nan(""));
    f->setRecordLevel(std::numeric_limits<double>::infinity());
    EXPECT_EQ(f->deckVolume(), 0.8);
    EXPECT_EQ(f->recordLevel(), 2.0 / 3.0);
    f->setDeckVolume(-1);
    f->setRecordLevel(5);
    EXPECT_EQ(f->deckVolume(), 0);
    EXPECT_EQ(f->recordLevel(), 1);
}

INSTANTIATE_TEST_SUITE_P(Levels, RecordLevelTest,
                         ::testing::Values(LevelCase{0, -12}, LevelCase{2.0 / 3.0, 0}, LevelCase{1, 6}));

TEST(StudioModelStartTest, StartingTwiceMakesOneOutputAndOneTimer) {
    StudioFixture f;
    f.start();
    auto* first = f->output();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(f->isStarted());
    f->start();
    EXPECT_EQ(f->output(), first);
    EXPECT_EQ(f->findChildren<QTimer*>().size(), 1);
}

TEST(StudioModelStartTest, AFailingOutputRaisesOneAlertAndTheTickStillRuns) {
    StudioFixture::Options options;
    options.failingOutput = true;
    StudioFixture f(options);
    QSignalSpy alerts(f.model.get(), &StudioModel::alertChanged);
    f.start();
    f.start();
    EXPECT_EQ(alerts.count(), 1);
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "No audio output");
    EXPECT_EQ(f->alerts().shown()->message, "No audio output device was found.");

    auto timers = f->findChildren<QTimer*>();
    ASSERT_EQ(timers.size(), 1);
    EXPECT_TRUE(timers.front()->isActive());
    EXPECT_EQ(timers.front()->timerType(), Qt::PreciseTimer);
    EXPECT_LE(std::abs(timers.front()->interval() - 1000 / 60), 1);
    QSignalSpy ticks(&f->live(), &LiveDeck::deckMeterChanged);
    EXPECT_TRUE(ticks.wait(2000));  // the timer drives the tick
}

TEST(StudioModelStartTest, SettingsThatWereResetAreToldOnceAtStartAfterThePendingAlert) {
    test::TemporaryDirectory settingsFolder;
    const auto file = settingsFolder / "defaults.json";
    writeText(file, "{\"RO-01.volume\": ");
    FileDefaultsStore settings(file);
    StudioFixture::Options options;
    options.failingOutput = true;
    options.settings = &settings;
    StudioFixture f(options);
    EXPECT_FALSE(f->alerts().shown()) << "told when the window is there, not while the studio is built";
    f.start();
    f.start();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "No audio output");
    f->alerts().dismiss();
    ASSERT_TRUE(f->alerts().shown()) << "the notice waited for its turn";
    EXPECT_EQ(f->alerts().shown()->title, "Settings were reset");
    EXPECT_EQ(f->alerts().shown()->message.toStdString(), *settings.resetNotice());
    EXPECT_NE(f->alerts().shown()->message.toStdString().find(file.string() + ".unreadable"), std::string::npos);
    f->alerts().dismiss();
    EXPECT_FALSE(f->alerts().shown());
}

TEST(StudioModelStartTest, ANoticeDisplacedByAnAlertComesBackAfterIt) {
    test::TemporaryDirectory settingsFolder;
    const auto file = settingsFolder / "defaults.json";
    writeText(file, "[]");
    FileDefaultsStore settings(file);
    StudioFixture::Options options;
    options.settings = &settings;
    StudioFixture f(options);
    f.start();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Settings were reset");
    f->tapeSounds().importProfile(f.directory / "missing.nvsound");
    EXPECT_EQ(f->alerts().shown()->title, "Cannot use this tape sound");
    f->alerts().dismiss();
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Settings were reset");
    f->alerts().dismiss();
    EXPECT_FALSE(f->alerts().shown());
}

TEST(StudioModelStartTest, SettingsThatCannotBeWrittenAreToldOnce) {
    test::TemporaryDirectory settingsFolder;
    const auto file = settingsFolder / "defaults.json";
    std::filesystem::create_directories(file / "kept");
    FileDefaultsStore settings(file);
    StudioFixture::Options options;
    options.settings = &settings;
    {
        StudioFixture f(options);
        f.start();
        EXPECT_FALSE(f->alerts().shown());
        f->tapeSounds().select(TapeSoundLibrary::builtIns()[1].id);
        EXPECT_FALSE(settings.flush());
        f.executor.runPending();
        ASSERT_TRUE(f->alerts().shown());
        EXPECT_EQ(f->alerts().shown()->title, "Settings cannot be saved");
        EXPECT_EQ(f->alerts().shown()->message.toStdString(),
                  "The studio cannot write its settings to \u201C" + file.string() +
                      "\u201D (Is a directory). Changes to settings last only until you quit.");
        f->alerts().dismiss();
        f->tapeSounds().select(TapeSoundLibrary::builtIns()[2].id);
        EXPECT_FALSE(settings.flush());
        f.executor.runPending();
        EXPECT_FALSE(f->alerts().shown()) << "once per run";
        EXPECT_EQ(f->tapeSounds().library().selectedID(), TapeSoundLibrary::builtIns()[2].id);
    }
    // The model is gone: the store reports to nobody.
    settings.setBool("RO-01.muting", true);
    EXPECT_FALSE(settings.flush());
}

TEST(StudioModelStartTest, DocumentsHandedOverBeforeStartOpenInArrivalOrder) {
    StudioFixture f;
    const auto a = f.makeSong("Alpha.wav", 0.2), b = f.makeSong("Bravo.wav", 0.2), c = f.makeSong("Charlie.wav", 0.2);
    f->open(b);
    f->open(c);
    f->open(a);
    EXPECT_TRUE(f->source().tracks().empty());
    f.start();
    ASSERT_EQ(f->source().tracks().size(), 3u);
    EXPECT_EQ(f->source().tracks()[0].title, "Bravo");
    EXPECT_EQ(f->source().tracks()[1].title, "Charlie");
    EXPECT_EQ(f->source().tracks()[2].title, "Alpha");
    f->open(f.makeSong("Delta.wav", 0.2));
    EXPECT_EQ(f->source().tracks().size(), 4u);
}

TEST(StudioModelStartTest, AudioFilesHandedOverTogetherJoinThePlayerInOneAdditionInTheirPlace) {
    StudioFixture f;
    const auto song = f.makeSong("Song.wav", 0.2);
    const auto profile = f.directory / "Mine.nvsound";
    std::ofstream(profile)
        << R"({"format": "NORVO-Sound", "format_version": "1.0", "id": "mine", "name": "Mine", "tape": {}})";
    std::vector<std::string> events;
    // Gone before `events` and the fixture: the fixture's last background work must not reach them.
    QObject listener;
    QObject::connect(f.model.get(), &StudioModel::sourceChanged, &listener,
                     [&] { events.push_back("player " + std::to_string(f->source().tracks().size())); });
    QObject::connect(f.model.get(), &StudioModel::tapeSoundChanged, &listener, [&] { events.push_back("tape sound"); });

    // Handed over one by one before the start (as the command line does), opened together.
    for (const auto& file : {song, song, profile, song}) f->open(file);
    f.start();
    EXPECT_EQ(events, (std::vector<std::string>{"player 2", "tape sound", "player 3"}));
    EXPECT_EQ(f->tapeSounds().library().selectedID(), "mine");

    // Handed over together once started, as a later launch or a file manager does.
    events.clear();
    f->openDocuments(std::vector<std::filesystem::path>(500, song));
    EXPECT_EQ(events, (std::vector<std::string>{"player 503"}));
}

TEST(StudioModelTickTest, ALongGapStepsTheMetersByAtMostATenthOfASecond) {
    StudioFixture f;
    f.start();
    ASSERT_TRUE(f.playSong(f.makeSong("tone.wav", 2.0)));
    f.render(2048);
    f.tick();
    const double loud = f->live().sourceMeter().left.db;
    EXPECT_NEAR(loud, decibels(0.3), 0.2);
    f.tick(2.0);  // nothing rendered: silence for a blocked main thread's whole gap
    EXPECT_NEAR(f->live().sourceMeter().left.db, loud - 2.0, 1e-9);
}

// MARK: - Input following

class StudioTunerTest : public ::testing::Test {
protected:
    void SetUp() override {
        f.start();
        f.insertBlank();
    }
    StudioFixture f;
    RadioStation one = f.station("one", "One FM");
    RadioStation two = f.station("two", "Two FM", "AAC+");
};

TEST_F(StudioTunerTest, ThePlayerWinsWhenItStartsInTheTickAStationChanges) {
    f.tuneTo(one, "Song");
    f.tick();
    EXPECT_EQ(f->deckInput(), DeckInput::tuner);
    ASSERT_TRUE(f.playSong(f.makeSong("tone.wav", 1.0)));
    f.tuneTo(two, "Other");
    f.tick();
    EXPECT_EQ(f->deckInput(), DeckInput::sourcePlayer);
}

TEST_F(StudioTunerTest, SwitchingTheTunerOnWithItsStationSelectsItAtTheFirstTick) {
    f->tuner().tune(one);
    f->tuner().powerOff();
    f.tick();
    EXPECT_EQ(f->deckInput(), DeckInput::sourcePlayer);
    f->tuner().powerOn();
    EXPECT_EQ(f->deckInput(), DeckInput::sourcePlayer);
    f.tick();
    EXPECT_EQ(f->deckInput(), DeckInput::tuner);
}

TEST_F(StudioTunerTest, AStationChangeWhileArmedLeavesTheInputAlsoAfterStop) {
    f->setDeckInput(DeckInput::sourcePlayer);
    f->transport(TransportCommand::record);
    ASSERT_EQ(f->live().snapshot().transport.mode, TransportMode::recordArmed);
    f.tuneTo(one, "Song");
    f.tick();
    EXPECT_EQ(f->deckInput(), DeckInput::sourcePlayer);
    f->transport(TransportCommand::stop);
    f.tick();
    f.tick();
    EXPECT_EQ(f->deckInput(), DeckInput::sourcePlayer);
}

// MARK: - Deck commands

TEST(StudioDeckCommandTest, WhileBusyOnlyStopAndEndOfWindPass) {
    StudioFixture f;
    f.start();
    f.insertBlank();
    const auto mode = [&] { return f->live().snapshot().transport.mode; };
    f->transport(TransportCommand::play);
    f->cassetteSlot().save(f.directory / "Busy.norvo");
    ASSERT_TRUE(f->cassetteSlot().busy());
    for (auto refused : {TransportCommand::record, TransportCommand::flip, TransportCommand::beginRewind,
                         TransportCommand::beginFastForward}) {
        f->transport(refused);
        EXPECT_EQ(mode(), TransportMode::playing);
    }
    EXPECT_EQ(f->live().snapshot().transport.cassette->side, TapeSide::a);
    f->transport(TransportCommand::stop);
    EXPECT_EQ(mode(), TransportMode::stopped);
    f->transport(TransportCommand::play);
    EXPECT_EQ(mode(), TransportMode::stopped);
    f.runBackground();
    ASSERT_FALSE(f->cassetteSlot().busy());

    f->transport(TransportCommand::beginFastForward);
    ASSERT_EQ(mode(), TransportMode::fastForward);
    f->cassetteSlot().save(f.directory / "Busy.norvo");
    ASSERT_TRUE(f->cassetteSlot().busy());
    f->transport(TransportCommand::endWind);
    EXPECT_EQ(mode(), TransportMode::stopped);
    EXPECT_EQ(f.ui.beeps, 0);
}

TEST(StudioDeckCommandTest, ARefusedRecordBeepsOnlyForABrokenTab) {
    StudioFixture f;
    f.start();
    f->transport(TransportCommand::record);  // no cassette
    EXPECT_EQ(f.ui.beeps, 0);

    f.insertBlank();
    f->editor().advanceWriteProtect(TapeSide::b);
    f->transport(TransportCommand::flip);
    f->transport(TransportCommand::record);
    EXPECT_EQ(f.ui.beeps, 1);
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::stopped);

    f->transport(TransportCommand::flip);
    f->editor().advanceWriteProtect(TapeSide::a);
    f->editor().advanceWriteProtect(TapeSide::a);
    ASSERT_EQ(f->editor().document()->sideA.writeProtect, WriteProtect::tapedOver);
    f->transport(TransportCommand::record);
    EXPECT_EQ(f->live().snapshot().transport.mode, TransportMode::recordArmed);
    EXPECT_EQ(f.ui.beeps, 1);
}

TEST(StudioDeckCommandTest, ResetCounterTakesTheTurnsAtTheHead) {
    StudioFixture f;
    f.start();
    QSignalSpy offsets(f.model.get(), &StudioModel::counterOffsetChanged);
    f->resetCounter();
    EXPECT_EQ(f->cassetteSlot().counterOffset(), 0);
    EXPECT_EQ(offsets.count(), 0);

    f.insertBlank();
    f->resetCounter();
    EXPECT_EQ(f->cassetteSlot().counterOffset(), ReelGeometry{CassetteType::c60()}.turns(0));
    f->transport(TransportCommand::play);
    f.render(44100);
    f->transport(TransportCommand::stop);
    f->resetCounter();
    EXPECT_EQ(f->cassetteSlot().counterOffset(), ReelGeometry{CassetteType::c60()}.turns(44100));
    EXPECT_GT(f->cassetteSlot().counterOffset(), ReelGeometry{CassetteType::c60()}.turns(0));
    f->cassetteSlot().eject();
    EXPECT_EQ(f->cassetteSlot().counterOffset(), 0);
}

}  // namespace
}  // namespace norvo

namespace norvo {
namespace {

TEST(StudioModelShutdownTest, StoresThePositionSwitchesTheTunerOffAndStopsTheOutput) {
    test::StudioFixture f;
    f.start();
    f.insertBlank();
    f->transport(TransportCommand::play);
    f.render(44100);
    f->transport(TransportCommand::flip);
    f.tuneTo(f.station("one", "One FM"), "Song");
    ASSERT_TRUE(f->tuner().isOn());
    const Uuid id = f->editor().document()->id;
    EXPECT_EQ(f->requestQuit({}), StudioModel::QuitReply::now);  // nothing unsaved
    const auto stored = TapePositionStore(f.defaults).load(id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->side, TapeSide::b);
    EXPECT_FALSE(f->tuner().isOn());
    EXPECT_EQ(f->output(), nullptr);
}

TEST(StudioModelShutdownTest, WindowTitlesAndTheMusicPanel) {
    test::StudioFixture f;
    f.start();
    EXPECT_EQ(f->title().text(), "Norvo Studio");
    f.insertBlank();
    QSignalSpy titles(&f->title(), &WindowTitle::changed);
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Road Trip"; });
    EXPECT_EQ(f->title().text(), "Road Trip \u2014 Edited");
    EXPECT_EQ(titles.count(), 1);
    f->cassetteSlot().removeCassette();
    EXPECT_EQ(f->title().text(), "Norvo Studio");
    EXPECT_FALSE(f->cassetteSlot().hasUnsavedChanges());

    const auto a = f.makeSong("a.wav", 0.2), b = f.makeSong("b.mp3", 0.2);
    f.ui.openAnswers.push_back({a, b, f.directory / "notes.txt"});
    f->chooseSourceFiles();
    ASSERT_EQ(f.ui.openPanels.size(), 1u);
    EXPECT_EQ(f.ui.openPanels[0].message, "Add MP3 or WAV files to the player");
    EXPECT_TRUE(f.ui.openPanels[0].multipleSelection);
    EXPECT_EQ(f->source().tracks().size(), 2u);
}

TEST(StudioModelShutdownTest, TheMusicPanelsFirstFilterShowsEveryPlayableFile) {
    // A file dialog shows the files of one filter at a time: the one it opens with must
    // list WAV files as well as MP3 files.
    test::StudioFixture f;
    f.start();
    f->chooseSourceFiles();
    ASSERT_EQ(f.ui.openPanels.size(), 1u);
    const QString first = f.ui.openPanels[0].nameFilters.value(0);
    const auto match = QRegularExpression(QStringLiteral("\\(([^)]*)\\)")).match(first);
    ASSERT_TRUE(match.hasMatch()) << first.toStdString();
    const QStringList patterns = match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const char* name : {"a.mp3", "b.wav", "c.wave", "d.aif", "e.aiff", "f.m4a", "g.flac", "h.caf"})
        EXPECT_TRUE(QDir::match(patterns, QString::fromLatin1(name))) << name << " in " << first.toStdString();
    EXPECT_FALSE(QDir::match(patterns, QStringLiteral("notes.txt")));
}

}  // namespace
}  // namespace norvo
