#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "NorvoStudioApp/QtStudioUi.hpp"
#include "NorvoStudioApp/SystemBeep.hpp"
#include "StudioModel/StudioDocumentTypes.hpp"
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

class QtStudioUiTest : public ::testing::Test {
protected:
    QtStudioUiTest() : ui(QString::fromStdString((directory.path() / "recently-used.xbel").string())) {}
    test::TemporaryDirectory directory;
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
            if (!c.press) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == QString::fromUtf8(c.press)) button->click();
            }
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
            if (!c.press) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == QString::fromUtf8(c.press)) button->click();
            }
        });
        EXPECT_EQ(ui.askToRecover(message, informative), c.expected) << (c.press ? c.press : "Escape");
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Don't Recover", "Not Now", "Recover"}));
    }
}

TEST_F(QtStudioUiTest, OpenPanelsShowTheMessageAndFilterByExtension) {
    const auto song = directory.path() / "song.wav";
    std::ofstream(song) << "x";
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::addMusic;
    panel.message = QStringLiteral("Add MP3 or WAV files to the player");
    panel.nameFilters = StudioDocumentTypes::audioNameFilters();
    panel.multipleSelection = true;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), panel.message);
        EXPECT_EQ(dialog->nameFilters(), panel.nameFilters);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        dialog->setDirectory(QString::fromStdString(directory.path().string()));
        dialog->selectFile(QStringLiteral("song.wav"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(ui.runOpenPanel(panel), std::vector<std::filesystem::path>{song});

    whenShown<QFileDialog>([](QFileDialog* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    EXPECT_TRUE(ui.runOpenPanel(panel).empty()) << "cancelling chooses nothing";
}

TEST_F(QtStudioUiTest, ASavePanelProposesTheNameAndAddsTheExtensionTypedWithout) {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::saveCassette;
    panel.nameFilters = {StudioDocumentTypes::cassetteNameFilter()};
    panel.canCreateDirectories = true;
    panel.proposedName = QStringLiteral("Mixtape.norvo");
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog->selectedFiles().value(0).endsWith(QStringLiteral("/Mixtape.norvo")));
        dialog->setDirectory(QString::fromStdString(directory.path().string()));
        dialog->selectFile(QStringLiteral("Road Trip"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(ui.runSavePanel(panel), directory.path() / "Road Trip.norvo");
    EXPECT_EQ(QtStudioUi::defaultSuffix({QStringLiteral("Tape Sound (*.nvsound)")}), "nvsound");

    // Another extension would make a file the studio cannot open again as a cassette.
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(QString::fromStdString(directory.path().string()));
        dialog->selectFile(QStringLiteral("notes.txt"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(ui.runSavePanel(panel), directory.path() / "notes.txt.norvo");
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
        beep.waitForIdle();
        QCoreApplication::processEvents();
        EXPECT_EQ(fallbacks, played ? 0 : 1);
        if (!played) {
            EXPECT_EQ(fallbackThread, QThread::currentThreadId());
        }
    }
}

}  // namespace
}  // namespace norvo
