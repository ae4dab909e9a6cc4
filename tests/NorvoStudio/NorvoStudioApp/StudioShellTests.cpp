#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <fstream>
#include <future>

#include "Kit/KitFont.hpp"
#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "NorvoStudioApp/FilePanelDialog.hpp"
#include "NorvoStudioApp/QuitController.hpp"
#include "NorvoStudioApp/SingleInstance.hpp"
#include "NorvoStudioApp/StudioActions.hpp"
#include "NorvoStudioApp/StudioShell.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"
#include "NorvoStudioApp/TerminationSignals.hpp"

namespace norvo {
namespace {

using test::StudioFixture;
using SaveChoice = StudioUi::SaveChoice;

// A tape-sound profile file: a built-in one under another id and name.
std::filesystem::path writeProfile(const std::filesystem::path& directory, const std::string& id,
                                   const std::string& name) {
    const SoundProfile& base = TapeSoundLibrary::builtIns().front();
    std::string text = base.encodedData();
    auto replace = [&text](const std::string& from, const std::string& to) {
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    replace("\"id\": \"" + base.id + "\"", "\"id\": \"" + id + "\"");
    replace("\"name\": \"" + base.name + "\"", "\"name\": \"" + name + "\"");
    const auto file = directory / (id + ".nvsound");
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

class StudioShellTest : public ::testing::Test {
protected:
    StudioShellTest() : shell(*studio, faces.faces(), [this](int status) { exits.push_back(status); }) {}

    void show() {
        shell.window().show();
        QApplication::setActiveWindow(&shell.window());
    }
    // A never-saved cassette with an edit, the tuner playing.
    void dirtyCassette() {
        studio->cassetteSlot().newCassette(CassetteType::c60());
        studio->editor().updateDocument([](CassetteDocument& d) { d.name = "Mixtape"; });
        ASSERT_TRUE(studio->cassetteSlot().hasUnsavedChanges());
        studio->tuner().powerOn();
    }
    bool positionStored() {
        return studio.defaults.value(TapePositionStore::key(studio->editor().document()->id)).has_value();
    }
    void closeWindow() { shell.window().close(); }
    void chooseQuit() { shell.window().actions().action(StudioActions::Id::quit)->trigger(); }

    StudioFixture studio;
    test::RackFaceServices faces{*studio, studio.executor};
    std::vector<int> exits;
    StudioShell shell;
};

// The same profile under a name that is not UTF-8 ("Café" in Latin-1, as an old disk has it).
std::filesystem::path renamedLatin1(const std::filesystem::path& file) {
    const auto renamed = file.parent_path() / ("Caf\xe9 " + file.filename().string());
    std::filesystem::rename(file, renamed);
    return renamed;
}

// The menus and the dialogs are set in the typeface of the faces' lettering.
TEST_F(StudioShellTest, MenusAndDialogsUseTheFacesTypeface) {
    const QString faces = QFontInfo(KitFont::system(13)).family();
    ASSERT_EQ(faces, KitFont::systemFamily);
    for (QAction* top : shell.window().menuBar()->actions())
        EXPECT_EQ(QFontInfo(top->menu()->font()).family(), faces) << top->text().toStdString();
    EXPECT_EQ(QFontInfo(shell.window().menuBar()->font()).family(), faces);
    QMessageBox box(&shell.window());
    box.setText(QStringLiteral("Save changes to the cassette?"));
    EXPECT_EQ(QFontInfo(box.font()).family(), faces);
    FilePanelDialog panel(FilePanelDialog::Options{}, &shell.window());
    EXPECT_EQ(QFontInfo(panel.font()).family(), faces);
    for (QWidget* child : panel.findChildren<QWidget*>())
        EXPECT_EQ(QFontInfo(child->font()).family(), faces) << child->metaObject()->className();
}

TEST_F(StudioShellTest, DocumentsFromTheCommandLineOpenInOrderOnceTheWindowShows) {
    const auto first = writeProfile(studio.directory.path(), "first", "First");
    const auto second = renamedLatin1(writeProfile(studio.directory.path(), "second", "Second"));
    shell.openDocuments({first, second});
    EXPECT_FALSE(studio->isStarted());
    EXPECT_TRUE(studio->tapeSounds().library().imported.empty()) << "nothing opens before the model starts";

    show();
    ASSERT_TRUE(studio->isStarted());
    const auto& imported = studio->tapeSounds().library().imported;
    ASSERT_EQ(imported.size(), 2u);
    EXPECT_EQ(imported[0].id, "second") << "the newest import comes first";
    EXPECT_EQ(imported[1].id, "first");
    EXPECT_EQ(studio->tapeSounds().library().selectedID(), "second");
}

TEST_F(StudioShellTest, QuittingWithNothingUnsavedShutsDownAndExits) {
    show();
    studio->tuner().powerOn();
    chooseQuit();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(studio.ui.prompts.empty());
    EXPECT_FALSE(studio->tuner().isOn());
    EXPECT_EQ(studio->output(), nullptr) << "the output is stopped";
}

TEST_F(StudioShellTest, ClosingTheWindowAndCancellingKeepsEverythingRunning) {
    show();
    dirtyCassette();
    studio.ui.saveChoices = {SaveChoice::cancel};
    closeWindow();
    ASSERT_EQ(studio.ui.prompts.size(), 1u);
    EXPECT_EQ(studio.ui.prompts[0].message, QStringLiteral("Save the cassette \u201cMixtape\u201d?"));
    EXPECT_TRUE(exits.empty());
    EXPECT_TRUE(shell.window().isVisible()) << "a closed window would leave a studio nobody can reach";
    EXPECT_TRUE(studio->tuner().isOn());
    EXPECT_TRUE(studio->cassetteSlot().hasUnsavedChanges());
    EXPECT_FALSE(positionStored());
}

TEST_F(StudioShellTest, DontSaveStoresThePositionSwitchesOffAndExits) {
    show();
    dirtyCassette();
    studio.ui.saveChoices = {SaveChoice::dontSave};
    chooseQuit();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(positionStored());
    EXPECT_FALSE(studio->tuner().isOn());
    EXPECT_TRUE(studio.ui.savePanels.empty());
}

TEST_F(StudioShellTest, SaveWithTheSavePanelCancelledKeepsTheStudioRunning) {
    show();
    dirtyCassette();
    studio.ui.saveChoices = {SaveChoice::save};
    studio.ui.saveAnswers = {std::nullopt};
    chooseQuit();
    EXPECT_EQ(studio.ui.savePanels.size(), 1u);
    EXPECT_TRUE(exits.empty());
    EXPECT_FALSE(shell.quit().isPending());
    EXPECT_TRUE(studio->cassetteSlot().hasUnsavedChanges());
    EXPECT_TRUE(studio->tuner().isOn());

    // The next request asks again.
    studio.ui.saveChoices = {SaveChoice::dontSave};
    closeWindow();
    EXPECT_EQ(studio.ui.prompts.size(), 2u);
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(StudioShellTest, ASaveThatFailsWhileQuittingKeepsTheStudioRunning) {
    show();
    dirtyCassette();
    studio.ui.saveChoices = {SaveChoice::save};
    studio.ui.saveAnswers = {studio.directory.path() / "missing folder" / "Mixtape.norvo"};
    chooseQuit();
    studio.runBackground();
    EXPECT_TRUE(exits.empty());
    EXPECT_FALSE(shell.quit().isPending()) << "the next quit request is decided again";
    ASSERT_TRUE(studio->alerts().shown().has_value());
    EXPECT_EQ(studio->alerts().shown()->title, "Cannot save cassette");
    EXPECT_TRUE(studio->tuner().isOn()) << "nothing was shut down";
    EXPECT_TRUE(studio->cassetteSlot().hasUnsavedChanges());
}

TEST_F(StudioShellTest, SaveWhileRecordingStopsTheDeckSavesThenExits) {
    show();
    studio->cassetteSlot().newCassette(CassetteType::c60());
    ASSERT_TRUE(studio.playSong(studio.makeSong("song.wav", 5)));
    studio->transport(TransportCommand::record);
    ASSERT_TRUE(studio.renderSeconds(0.5));
    studio.tick();
    ASSERT_EQ(studio->live().snapshot().transport.mode, TransportMode::recording);

    const auto file = studio.directory / "Quit.norvo";
    studio.ui.saveChoices = {SaveChoice::save};
    studio.ui.saveAnswers = {file};
    chooseQuit();
    EXPECT_EQ(studio->live().snapshot().transport.mode, TransportMode::stopped);
    EXPECT_TRUE(exits.empty()) << "the quit waits for the save";
    EXPECT_TRUE(shell.quit().isPending());

    // Asking again while the save runs is ignored: no second prompt, no second save.
    chooseQuit();
    closeWindow();
    EXPECT_EQ(studio.ui.prompts.size(), 1u);
    EXPECT_EQ(studio.ui.savePanels.size(), 1u);

    studio.runBackground();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(positionStored());
    EXPECT_EQ(studio->output(), nullptr);
}

TEST_F(StudioShellTest, DocumentsHandedOverByASecondLaunchOpenInTheRunningStudio) {
    show();
    const QString socket = QString::fromStdString((studio.directory / "studio.socket").string());
    SingleInstance instance(socket, studio.executor);
    ASSERT_TRUE(instance.listen()) << instance.errorString().toStdString();
    shell.acceptHandOvers(instance);
    const auto profile = renamedLatin1(writeProfile(studio.directory.path(), "handed", "Handed Over"));

    QSignalSpy received(&instance, &SingleInstance::documentsReceived);
    // The second launch blocks on its socket, so it runs beside this event loop.
    auto launch = std::async(std::launch::async, [&] { return SingleInstance::handOver(socket, {profile}); });
    ASSERT_TRUE(received.wait(10000));
    EXPECT_EQ(launch.get(), SingleInstance::HandOver::delivered) << "the second launch learns it may exit";
    EXPECT_EQ(studio->tapeSounds().library().selectedID(), "handed");
}

// Ended from outside (a logout, a service manager, Ctrl+C): an edited cassette's workspace
// stays, with its recovery copy, for the next start; a saved one's goes as at any quit.
TEST(StudioShellTerminationTest, ATerminationSignalKeepsOnlyACassetteWithUnsavedChanges) {
    for (const bool edited : {true, false}) {
        StudioFixture studio;
        std::vector<int> exits;
        std::filesystem::path workspace;
        {
            test::RackFaceServices faces(*studio, studio.executor);
            StudioShell shell(*studio, faces.faces(), [&](int status) { exits.push_back(status); });
            TerminationSignals watcher;
            shell.acceptTermination(watcher);
            studio.start();
            studio.insertBlank();
            workspace = studio->cassetteSlot().media()->directory();
            if (edited) studio->editor().updateDocument([](CassetteDocument& d) { d.name = "Night Drive"; });
            studio.tick();

            ASSERT_EQ(std::raise(SIGTERM), 0);
            QElapsedTimer waited;
            waited.start();
            while (exits.empty() && waited.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            EXPECT_EQ(exits, std::vector<int>{0}) << edited;
            EXPECT_EQ(studio->output(), nullptr) << "shut down";
            EXPECT_TRUE(studio.defaults.value(TapePositionStore::key(studio->editor().document()->id)).has_value());
        }
        studio.model.reset();
        EXPECT_EQ(std::filesystem::exists(workspace / "recovery.json"), edited) << edited;
        EXPECT_EQ(std::filesystem::exists(workspace / "side-a.pcm"), edited) << edited;
    }
}

}  // namespace
}  // namespace norvo
