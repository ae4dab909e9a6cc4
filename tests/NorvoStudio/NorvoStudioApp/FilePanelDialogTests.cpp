#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QTest>
#include <fstream>

#include "NorvoStudioApp/FilePanelDialog.hpp"
#include "Support/TemporaryDirectory.hpp"

namespace norvo {
namespace {

const QString fsi(QChar(0x2068));
const QString pdi(QChar(0x2069));
const std::string override = "\u202E";                  // RIGHT-TO-LEFT OVERRIDE
const std::string shalom = "\u05E9\u05DC\u05D5\u05DD";  // two folder names in Hebrew
const std::string olam = "\u05E2\u05D5\u05DC\u05DD";

class FilePanelDialogTest : public ::testing::Test {
protected:
    FilePanelDialog::Options openPanel() const {
        FilePanelDialog::Options options;
        options.multipleSelection = true;
        options.directory = directory.path();
        options.runInBackground = [](std::function<void()> work) { work(); };
        return options;
    }
    static QListWidget* list(FilePanelDialog& panel) {
        return panel.findChild<QListWidget*>(QStringLiteral("entries"));
    }
    // Each row as the list draws it.
    static QStringList drawnRows(FilePanelDialog& panel) {
        QCoreApplication::sendPostedEvents();
        auto* delegate = qobject_cast<QStyledItemDelegate*>(list(panel)->itemDelegate());
        QStringList rows;
        for (int row = 0; row < list(panel)->count(); ++row)
            rows << delegate->displayText(list(panel)->item(row)->data(Qt::DisplayRole), QLocale());
        return rows;
    }
    void touch(const std::string& name) const { std::ofstream(directory.path() / name) << "x"; }

    test::TemporaryDirectory directory;
};

TEST_F(FilePanelDialogTest, HostileNamesAreDrawnOnOneLineInTheirOwnOrderAndTheLocationLeadsBack) {
    touch("bad " + override + "kcart.mp3");
    touch("line\nfeed.mp3");
    std::filesystem::create_directories(directory.path() / (override + "olleh"));
    std::filesystem::create_directories(directory.path() / shalom / olam);
    FilePanelDialog panel(openPanel());
    const QString replaced(QChar(0xFFFD));
    EXPECT_EQ(drawnRows(panel),
              (QStringList{fsi + QString::fromStdString(shalom) + pdi, fsi + replaced + "olleh" + pdi,
                           fsi + "bad " + replaced + "kcart.mp3" + pdi, fsi + "line" + replaced + "feed.mp3" + pdi}));

    auto* location = panel.findChild<QLineEdit*>(QStringLiteral("location"));
    const QString here = QString::fromStdString(directory.path().string());
    panel.setDirectory(directory.path() / shalom / olam);
    const QString hebrew = location->text();
    EXPECT_EQ(hebrew,
              here + "/" + fsi + QString::fromStdString(shalom) + pdi + "/" + fsi + QString::fromStdString(olam) + pdi)
        << "each right-to-left name isolated: the two keep their order";
    panel.setDirectory(directory.path() / (override + "olleh"));
    const QString overridden = location->text();
    EXPECT_EQ(overridden, here + "/" + replaced + "olleh");

    // What the line shows, typed back, is where it was.
    for (const auto& [shown, folder] : {std::pair{hebrew, directory.path() / shalom / olam},
                                        std::pair{overridden, directory.path() / (override + "olleh")}}) {
        panel.setDirectory(directory.path());
        location->setText(shown);
        QTest::keyClick(location, Qt::Key_Return);
        EXPECT_EQ(panel.directory(), folder);
    }
}

TEST_F(FilePanelDialogTest, ReturnOpensEverySelectedFileAsTheOpenButtonDoes) {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) touch(name);
    FilePanelDialog panel(openPanel());
    panel.show();
    QCoreApplication::sendPostedEvents();
    panel.selectNames({"a.mp3", "c.mp3"});
    list(panel)->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list(panel), Qt::Key_Return);
    EXPECT_EQ(panel.result(), QDialog::Accepted);
    EXPECT_EQ(panel.chosenFiles(),
              (std::vector<std::filesystem::path>{directory.path() / "a.mp3", directory.path() / "c.mp3"}));
}

}  // namespace
}  // namespace norvo
