#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "NorvoStudioApp/FilePanelDialog.hpp"
#include "NorvoStudioApp/QtStudioUi.hpp"
#include "NorvoStudioApp/SystemBeep.hpp"
#include "Platform/DefaultsStore.hpp"
#include "StudioModel/LocalPath.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"
#include "Support/Fifo.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

using SaveChoice = StudioUi::SaveChoice;

// Runs `answer` on the dialog once it is up, from inside its modal loop.
template <typename Dialog>
void whenShown(std::function<void(Dialog*)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

// The file panel once the folder it shows has been read.
// Clicks the box's button titled `text`, or presses Escape when there is no text.
void press(QMessageBox* box, const char* text) {
    if (!text) {
        QTest::keyClick(box, Qt::Key_Escape);
        return;
    }
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == QString::fromUtf8(text)) button->click();
    }
}

FilePanelDialog* filePanel() {
    QCoreApplication::sendPostedEvents();
    return qobject_cast<FilePanelDialog*>(QApplication::activeModalWidget());
}

QStringList shownNames(FilePanelDialog* panel) {
    QStringList names;
    auto* list = panel->findChild<QListWidget*>(QStringLiteral("entries"));
    for (int row = 0; row < list->count(); ++row) names << list->item(row)->text();
    return names;
}

class QtStudioUiTest : public ::testing::Test {
protected:
    QtStudioUiTest()
        : ui(defaults, QString::fromStdString((directory.path() / "recently-used.xbel").string()),
             [](std::function<void()> work) { work(); }) {}
    // Where an open panel of this kind starts; the panel is then cancelled.
    std::filesystem::path startFolderOf(StudioUi::FilePanel::Kind kind) {
        std::filesystem::path shown;
        whenShown<QDialog>([&](QDialog*) {
            FilePanelDialog* dialog = filePanel();
            shown = dialog->directory();
            dialog->reject();
        });
        StudioUi::FilePanel panel;
        panel.kind = kind;
        ui.runOpenPanel(panel);
        return shown;
    }

    test::TemporaryDirectory directory;
    InMemoryDefaultsStore defaults;
    QtStudioUi ui;
};

TEST_F(QtStudioUiTest, ThePromptShowsItsTextsPlainlyAndMapsEachButton) {
    const QString message = QStringLiteral("Save the cassette \u201c<b>Mix</b>\u201d?");
    const QString informative = QStringLiteral("It has recordings or changes that are not in an .norvo file yet.");
    struct Case {
        const char* press;  // button text, or nothing for the Escape key
        SaveChoice expected;
    };
    for (const Case& c : {Case{"Save\u2026", SaveChoice::save}, Case{"Don't Save", SaveChoice::dontSave},
                          Case{"Cancel", SaveChoice::cancel}, Case{nullptr, SaveChoice::cancel}}) {
        QStringList buttons;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            EXPECT_EQ(box->textFormat(), Qt::PlainText) << "a cassette's name is never markup";
            EXPECT_EQ(box->text(), message);
            EXPECT_EQ(box->informativeText(), informative);
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            press(box, c.press);
        });
        EXPECT_EQ(ui.askToSaveChanges(message, informative), c.expected) << (c.press ? c.press : "Escape");
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Cancel", "Don't Save", "Save\u2026"}));
    }
}

TEST_F(QtStudioUiTest, TheRecoveryQuestionHasItsOwnTitleAndRemovesNothingUnlessToldTo) {
    using RecoverChoice = StudioUi::RecoverChoice;
    const QString message = QStringLiteral("Recover \u201c<i>Radio</i>\u201d (1:02:03 recorded)?");
    const QString informative = QStringLiteral("Norvo Studio ended before this cassette was saved.");
    struct Case {
        const char* press;  // button text, or nothing for the Escape key
        RecoverChoice expected;
    };
    for (const Case& c : {Case{"Recover", RecoverChoice::recover}, Case{"Don't Recover", RecoverChoice::discard},
                          Case{"Not Now", RecoverChoice::keep}, Case{nullptr, RecoverChoice::keep}}) {
        QStringList buttons;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Recover Cassette");
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->text(), message);
            EXPECT_EQ(box->informativeText(), informative);
            EXPECT_EQ(box->defaultButton()->text(), "Recover");
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            press(box, c.press);
        });
        EXPECT_EQ(ui.askToRecover(message, informative), c.expected) << (c.press ? c.press : "Escape");
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Don't Recover", "Not Now", "Recover"}));
    }
}

TEST_F(QtStudioUiTest, OpenPanelsListNamesThatAreNotUtf8AndOpenThemByTheirBytes) {
    const std::string latin1 = "caf\xe9.wav";  // as an old disk names it
    for (const std::string& name :
         {std::string("song.wav"), latin1, std::string("notes.txt"), std::string(".hidden.wav")})
        std::ofstream(directory.path() / name) << "x";
    std::filesystem::create_directory(directory.path() / "Album");
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::addMusic;
    panel.message = QStringLiteral("Add MP3 or WAV files to the player");
    panel.nameFilters = StudioDocumentTypes::audioNameFilters();
    panel.multipleSelection = true;
    panel.directory = directory.path();
    whenShown<QDialog>([&](QDialog*) {
        FilePanelDialog* dialog = filePanel();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), panel.message);
        EXPECT_EQ(dialog->directory(), directory.path());
        EXPECT_EQ(shownNames(dialog), (QStringList{"Album", "caf\uFFFD.wav", "song.wav"}))
            << "folders first; only audio files; the Latin-1 name shown with a replacement character";
        dialog->selectNames({latin1, "song.wav"});
        dialog->accept();
    });
    EXPECT_EQ(ui.runOpenPanel(panel),
              (std::vector<std::filesystem::path>{directory.path() / latin1, directory.path() / "song.wav"}));

    whenShown<QDialog>([](QDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(ui.runOpenPanel(panel).empty()) << "cancelling chooses nothing";

    // Opening a folder goes into it; a single-file panel gives one file.
    std::ofstream(directory.path() / "Album" / "one.mp3") << "x";
    panel.multipleSelection = false;
    whenShown<QDialog>([&](QDialog*) {
        FilePanelDialog* dialog = filePanel();
        dialog->selectNames({"Album"});
        dialog->accept();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(dialog->directory(), directory.path() / "Album");
        EXPECT_EQ(shownNames(dialog), QStringList{"one.mp3"});
        dialog->selectNames({"one.mp3"});
        dialog->accept();
    });
    EXPECT_EQ(ui.runOpenPanel(panel), std::vector<std::filesystem::path>{directory.path() / "Album" / "one.mp3"});
}

TEST_F(QtStudioUiTest, OpenPanelsStartWhereAFileOfTheirKindWasLastChosenElseInTheStandardFolder) {
    const auto home = directory.path() / "home";
    const auto music = directory.path() / "home" / "Tunes";
    const auto latin1Folder = directory.path() / "Caf\xe9";
    for (const auto& folder : {music, latin1Folder}) std::filesystem::create_directories(folder);
    std::ofstream(latin1Folder / "mix.norvo") << "x";
    std::ofstream(directory.path() / "user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n";
    test::ScopedEnvironment homeVariable("HOME", home.c_str());
    test::ScopedEnvironment config("XDG_CONFIG_HOME", directory.path().c_str());

    auto chooseIn = [&](StudioUi::FilePanel::Kind kind, const std::filesystem::path& file) {
        whenShown<QDialog>([&](QDialog*) {
            FilePanelDialog* dialog = filePanel();
            dialog->setDirectory(file.parent_path());
            QCoreApplication::sendPostedEvents();
            dialog->selectNames({file.filename().native()});
            dialog->accept();
        });
        StudioUi::FilePanel panel;
        panel.kind = kind;
        EXPECT_EQ(ui.runOpenPanel(panel), std::vector<std::filesystem::path>{file});
    };
    using Kind = StudioUi::FilePanel::Kind;
    EXPECT_EQ(startFolderOf(Kind::addMusic), music) << "the user's music folder, not the working directory";
    EXPECT_EQ(startFolderOf(Kind::openCassette), home);
    EXPECT_EQ(startFolderOf(Kind::importTapeSound), home);
    chooseIn(Kind::openCassette, latin1Folder / "mix.norvo");
    EXPECT_EQ(startFolderOf(Kind::openCassette), latin1Folder) << "where the last cassette was chosen, byte for byte";
    EXPECT_EQ(startFolderOf(Kind::addMusic), music) << "each kind remembers its own";

    std::filesystem::remove_all(latin1Folder);
    EXPECT_EQ(startFolderOf(Kind::openCassette), home) << "a folder that is gone no longer counts";
}

TEST_F(QtStudioUiTest, TheMusicFolderIsFoundWithoutWaitingForAListOfFoldersThatNeverEnds) {
    const auto home = directory.path() / "home";
    std::filesystem::create_directories(home / "Music");
    test::ScopedEnvironment homeVariable("HOME", home.c_str());
    test::ScopedEnvironment config("XDG_CONFIG_HOME", directory.path().c_str());
    const test::Fifo userDirs(directory.path() / "user-dirs.dirs");
    std::filesystem::path start;
    EXPECT_TRUE(userDirs.returnsPromptly([&] {
        start = PanelFolders(defaults).startFolder(PanelFolders::Kind::audio);
    }));
    EXPECT_EQ(start, home / "Music");
}

TEST_F(QtStudioUiTest, ASavePanelStartsInTheGivenFolderProposesTheNameAndAddsTheExtensionTypedWithout) {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::saveCassette;
    panel.nameFilters = {StudioDocumentTypes::cassetteNameFilter()};
    panel.canCreateDirectories = true;
    panel.proposedName = QStringLiteral("Mixtape.norvo");
    panel.directory = directory.path();
    whenShown<QDialog>([&](QDialog*) {
        FilePanelDialog* dialog = filePanel();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory(), directory.path()) << "the cassette's own folder";
        EXPECT_EQ(dialog->name(), QStringLiteral("Mixtape.norvo"));
        dialog->setName(QStringLiteral("Road Trip"));
        dialog->accept();
    });
    EXPECT_EQ(ui.runSavePanel(panel), directory.path() / "Road Trip.norvo");
    EXPECT_EQ(FilePanelDialog::defaultSuffix({QStringLiteral("Tape Sound (*.nvsound)")}), "nvsound");

    // Another extension would make a file the studio cannot open again as a cassette.
    whenShown<QDialog>([&](QDialog*) {
        filePanel()->setName(QStringLiteral("notes.txt"));
        filePanel()->accept();
    });
    EXPECT_EQ(ui.runSavePanel(panel), directory.path() / "notes.txt.norvo");

    // A name that is there already is replaced only when the user says so.
    std::ofstream(directory.path() / "Kept.norvo") << "x";
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        bool asked = false;
        whenShown<QDialog>([&](QDialog*) {
            FilePanelDialog* dialog = filePanel();
            dialog->setName(QStringLiteral("Kept"));
            whenShown<QMessageBox>([&](QMessageBox* box) {
                asked = true;
                EXPECT_EQ(box->text(),
                          QStringLiteral("\u201CKept.norvo\u201D already exists. Do you want to replace it?"));
                EXPECT_EQ(box->textFormat(), Qt::PlainText) << "a file's name is never markup";
                box->button(answer)->click();
            });
            dialog->accept();
            if (dialog->isVisible()) dialog->reject();
        });
        const auto chosen = ui.runSavePanel(panel);
        EXPECT_TRUE(asked);
        if (answer == QMessageBox::Yes) EXPECT_EQ(chosen, directory.path() / "Kept.norvo");
        else EXPECT_EQ(chosen, std::nullopt);
    }
}

TEST_F(QtStudioUiTest, ASavePanelMakesANewFolderAndSavesIntoIt) {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::saveCassette;
    panel.nameFilters = {StudioDocumentTypes::cassetteNameFilter()};
    panel.canCreateDirectories = true;
    panel.proposedName = QStringLiteral("Mixtape.norvo");
    panel.directory = directory.path();
    whenShown<QDialog>([&](QDialog*) {
        FilePanelDialog* dialog = filePanel();
        ASSERT_NE(dialog->findChild<QPushButton*>(QStringLiteral("newFolder")), nullptr);
        EXPECT_FALSE(dialog->createFolder(QStringLiteral("a/b"))) << "one folder, not a path";
        EXPECT_TRUE(dialog->createFolder(QStringLiteral("Mixes")));
        EXPECT_EQ(dialog->directory(), directory.path() / "Mixes");
        dialog->accept();
    });
    EXPECT_EQ(ui.runSavePanel(panel), directory.path() / "Mixes" / "Mixtape.norvo");
}

TEST_F(QtStudioUiTest, SavingACassetteWhoseFolderAndNameAreNotUtf8ReplacesItsOwnFile) {
    const auto folder = directory.path() / "Caf\xe9";
    std::filesystem::create_directory(folder);
    const auto cassette = folder / "Mix \xe9t\xe9.norvo";
    std::ofstream(cassette) << "x";
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::saveCassette;
    panel.nameFilters = {StudioDocumentTypes::cassetteNameFilter()};
    panel.proposedName = LocalPath::shown(cassette.filename());
    panel.directory = folder;
    whenShown<QDialog>([&](QDialog*) {
        FilePanelDialog* dialog = filePanel();
        EXPECT_EQ(dialog->directory(), folder);
        EXPECT_EQ(dialog->name(), QStringLiteral("Mix \uFFFDt\uFFFD.norvo"));
        whenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        dialog->accept();
    });
    EXPECT_EQ(ui.runSavePanel(panel), cassette);
    EXPECT_EQ(startFolderOf(StudioUi::FilePanel::Kind::openCassette), folder)
        << "the next cassette panel starts there too";
}

TEST_F(QtStudioUiTest, TheThumbnailIsTheCassetteCentredOnATransparentSquare) {
    const CassetteDocument document(CassetteType::c60(), "Thumb", CassetteStyleCatalog::defaultStyle().design);
    const QImage thumbnail = ui.renderThumbnail(document, {});
    ASSERT_EQ(thumbnail.size(), QSize(1024, 1024));
    EXPECT_EQ(qAlpha(thumbnail.pixel(4, 4)), 0);
    EXPECT_EQ(qAlpha(thumbnail.pixel(512, 100)), 0) << "above the cassette (960 wide, 610 high)";
    EXPECT_EQ(qAlpha(thumbnail.pixel(512, 512 + 250)), 255);
    EXPECT_EQ(qAlpha(thumbnail.pixel(40, 512)), 255) << "the shell starts 32 px from the edge";
    EXPECT_EQ(qAlpha(thumbnail.pixel(20, 512)), 0);
}

TEST(SystemBeep, FallsBackToTheWindowSystemsBellOnTheMainThreadWhenNoSoundCanBePlayed) {
    for (bool played : {true, false}) {
        int fallbacks = 0;
        Qt::HANDLE fallbackThread = nullptr;
        SystemBeep beep([played] { return played; },
                        [&] {
                            ++fallbacks;
                            fallbackThread = QThread::currentThreadId();
                        });
        beep.ring();
        ASSERT_TRUE(beep.waitForIdle(std::chrono::seconds(10)));
        QCoreApplication::processEvents();
        EXPECT_EQ(fallbacks, played ? 0 : 1);
        if (!played) {
            EXPECT_EQ(fallbackThread, QThread::currentThreadId());
        }
    }
}

}  // namespace
}  // namespace norvo
