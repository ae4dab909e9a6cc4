#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "NorvoStudioApp/StudioActions.hpp"
#include "NorvoStudioApp/StudioShell.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

// One line per menu item as the user sees it: path, shortcut, check mark, enabled.
std::vector<std::string> walk(QMenu* menu, const QString& path) {
    std::vector<std::string> lines;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            lines.push_back((path + QStringLiteral("/----")).toStdString());
            continue;
        }
        const QString title = path + QLatin1Char('/') + action->text();
        QString line = title;
        if (!action->shortcut().isEmpty())
            line += QStringLiteral(" [") + action->shortcut().toString() + QLatin1Char(']');
        if (action->isCheckable()) line += action->isChecked() ? QStringLiteral(" (x)") : QStringLiteral(" ( )");
        if (!action->isEnabled()) line += QStringLiteral(" disabled");
        lines.push_back(line.toStdString());
        // Dynamic submenus fill themselves as they open.
        if (action->menu() && title != path + QStringLiteral("/Tape Sound")) {
            const auto inner = walk(action->menu(), title);
            lines.insert(lines.end(), inner.begin(), inner.end());
        }
    }
    return lines;
}

std::vector<std::string> walkMenuBar(StudioWindow& window) {
    std::vector<std::string> lines;
    for (QAction* top : window.menuBar()->actions()) {
        auto menu = walk(top->menu(), top->text().remove(QLatin1Char('&')));
        lines.insert(lines.end(), menu.begin(), menu.end());
    }
    return lines;
}

// The items in order with their shortcuts; `enabledIn` lists the states in which an item
// is enabled: E empty deck, I idle cassette, R recording (armed), B a save in flight.
struct Row {
    const char* line;
    const char* enabledIn;
};

const std::vector<Row> menuTable = {
    {"File/New Blank Cassette", "EIR"},
    {"File/New Blank Cassette/C46 \u2014 23 min per side", "EIR"},
    {"File/New Blank Cassette/C60 \u2014 30 min per side [Ctrl+N]", "EIR"},
    {"File/New Blank Cassette/C90 \u2014 45 min per side", "EIR"},
    {"File/New Blank Cassette/C120 \u2014 60 min per side", "EIR"},
    {"File/Open Cassette\u2026 [Ctrl+O]", "EIR"},
    {"File/Add Music to Player\u2026 [Ctrl+Shift+O]", "EIRB"},
    {"File/----", ""},
    {"File/Save Cassette [Ctrl+S]", "I"},
    {"File/Save Cassette As\u2026 [Ctrl+Shift+S]", "I"},
    {"File/----", ""},
    {"File/Eject Cassette [Ctrl+E]", "IR"},
    {"File/----", ""},
    {"File/Quit [Ctrl+Q]", "EIRB"},
    {"Deck/Play [Ctrl+Alt+P]", "EIRB"},
    {"Deck/Record [Ctrl+Alt+R]", "EIRB"},
    {"Deck/Stop [Ctrl+.]", "EIRB"},
    {"Deck/Flip Cassette [Ctrl+Alt+F]", "EIRB"},
    {"Deck/----", ""},
    {"Deck/Input: CD \u00b7 MP3 Player [Ctrl+Alt+1] (x)", "EIRB"},
    {"Deck/Input: Radio Tuner [Ctrl+Alt+2] ( )", "EIRB"},
    {"Deck/----", ""},
    {"Deck/Tape Sound", "EIRB"},
    {"Deck/----", ""},
    {"Deck/Reset Counter", "EIRB"},
    {"Deck/Design Cassette\u2026 [Ctrl+Shift+D]", "IRB"},
    {"Player/Play / Pause", "EIRB"},
    {"Player/Stop", "EIRB"},
    {"Player/Next Track [Ctrl+Right]", "EIRB"},
    {"Player/Previous Track [Ctrl+Left]", "EIRB"},
    {"Tuner/Switch Tuner On [Ctrl+Shift+T]", "EIRB"},
    {"Tuner/----", ""},
    {"Tuner/Next Station [Ctrl+Shift+Right]", "EIRB"},
    {"Tuner/Previous Station [Ctrl+Shift+Left]", "EIRB"},
    {"Tuner/----", ""},
    {"Tuner/P1  \u2014 [Ctrl+1]", ""},
    {"Tuner/P2  \u2014 [Ctrl+2]", ""},
    {"Tuner/P3  \u2014 [Ctrl+3]", ""},
    {"Tuner/P4  \u2014 [Ctrl+4]", ""},
    {"Tuner/P5  \u2014 [Ctrl+5]", ""},
    {"Tuner/P6  \u2014 [Ctrl+6]", ""},
    {"Tuner/P7  \u2014 [Ctrl+7]", ""},
    {"Tuner/P8  \u2014 [Ctrl+8]", ""},
    {"Tuner/Store Station in Preset", ""},
    {"Tuner/Store Station in Preset/P1", "EIRB"},
    {"Tuner/Store Station in Preset/P2", "EIRB"},
    {"Tuner/Store Station in Preset/P3", "EIRB"},
    {"Tuner/Store Station in Preset/P4", "EIRB"},
    {"Tuner/Store Station in Preset/P5", "EIRB"},
    {"Tuner/Store Station in Preset/P6", "EIRB"},
    {"Tuner/Store Station in Preset/P7", "EIRB"},
    {"Tuner/Store Station in Preset/P8", "EIRB"},
    {"Tuner/----", ""},
    {"Tuner/Muting ( )", "EIRB"},
};

std::vector<std::string> expectedIn(char state) {
    std::vector<std::string> lines;
    for (const Row& row : menuTable) {
        std::string line = row.line;
        const bool separator = line.ends_with("/----");
        if (!separator && std::string(row.enabledIn).find(state) == std::string::npos) line += " disabled";
        lines.push_back(line);
    }
    return lines;
}

class StudioWindowTest : public ::testing::Test {
protected:
    StudioWindowTest() : shell(*studio, faces.faces(), [this](int status) { exits.push_back(status); }) {
        shell.window().show();
        QApplication::setActiveWindow(&shell.window());
    }

    StudioWindow& window() { return shell.window(); }
    QAction* action(StudioActions::Id id) { return window().actions().action(id); }
    void press(int key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(&window(), static_cast<Qt::Key>(key), modifiers);
    }

    StudioFixture studio;
    test::RackFaceServices faces{*studio, studio.executor};
    std::vector<int> exits;
    StudioShell shell;
};

// The test's screen is shorter than the default height and narrower than the rack allows: the
// window opens as tall as the screen and as narrow as the rack allows. The next window opens at
// the size the user gave this one, on each side where that fits.
TEST_F(StudioWindowTest, OpensAsTheStudioWindowAndStartsTheModelWhenShown) {
    EXPECT_EQ(window().objectName(), "studio");
    EXPECT_EQ(window().windowTitle(), "Norvo Studio");
    const QSize smallest = window().minimumSizeHint(), screen = window().screen()->availableGeometry().size();
    EXPECT_EQ(window().size(), QSize(smallest.width(), screen.height()));
    EXPECT_TRUE(studio->isStarted());
    EXPECT_GE(window().centralWidget()->minimumWidth(), 924);
    EXPECT_GE(window().centralWidget()->minimumHeight(), 690);
    window().resize(1000, screen.height() - 40);
    QApplication::processEvents();
    EXPECT_EQ(StudioWindow(*studio, faces.faces()).size(), QSize(smallest.width(), screen.height() - 40));
    window().resize(600, 400);
    EXPECT_GE(window().width(), smallest.width());
    EXPECT_GE(window().centralWidget()->height(), 690);
}

TEST_F(StudioWindowTest, EveryMenuItemHasItsTitleShortcutAndEnabledStateInEachDeckState) {
    EXPECT_EQ(walkMenuBar(window()), expectedIn('E'));

    studio->cassetteSlot().newCassette(CassetteType::c60());
    EXPECT_EQ(walkMenuBar(window()), expectedIn('I'));

    studio->transport(TransportCommand::record);
    studio.tick();  // the tick announces the new transport mode
    ASSERT_TRUE(isRecordingOrArmed(studio->live().snapshot().transport.mode));
    EXPECT_EQ(walkMenuBar(window()), expectedIn('R'));

    studio->transport(TransportCommand::stop);
    studio.tick();
    EXPECT_EQ(walkMenuBar(window()), expectedIn('I')) << "save is enabled again once recording stops";

    studio->cassetteSlot().save(studio.directory / "Busy.norvo");
    ASSERT_TRUE(studio->cassetteSlot().busy().has_value());
    EXPECT_EQ(walkMenuBar(window()), expectedIn('B'));
    studio.runBackground();
    EXPECT_EQ(window().windowTitle(), "Busy");
}

TEST_F(StudioWindowTest, ShortcutsReachTheModelWithEveryMenuClosed) {
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(studio->editor().document().has_value());
    EXPECT_EQ(studio->editor().document()->type, CassetteType::c60());

    press(Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(studio->deckInput(), DeckInput::tuner);
    EXPECT_TRUE(action(StudioActions::Id::inputTuner)->isChecked());
    press(Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(studio->deckInput(), DeckInput::tuner) << "choosing the checked input again changes nothing";
    EXPECT_TRUE(action(StudioActions::Id::inputTuner)->isChecked());
    press(Qt::Key_1, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(studio->deckInput(), DeckInput::sourcePlayer);
    EXPECT_FALSE(action(StudioActions::Id::inputTuner)->isChecked());

    press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(studio->tuner().isOn());
    EXPECT_EQ(action(StudioActions::Id::tunerPower)->text(), "Switch Tuner Off");

    studio->tuner().store(studio.station("s3", "Third"), 2);
    press(Qt::Key_3, Qt::ControlModifier);
    ASSERT_TRUE(studio->tuner().station().has_value()) << "a preset key works with the Tuner menu closed";
    EXPECT_EQ(studio->tuner().station()->id, "s3");
    press(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(studio->tuner().station()->id, "s3") << "an empty preset is disabled";

    // The flag changes only from false to true here; the rack may lower it again at once.
    QSignalSpy designer(&*studio, &StudioModel::showingDesignerChanged);
    press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_GE(designer.count(), 1) << "Design Cassette raises the designer flag";

    studio->setShowingDesigner(false);  // the sheet is modal to the window: close it first
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(StudioWindowTest, MenuShortcutsKeepWorkingWhileTheDesignerSheetIsUp) {
    studio->cassetteSlot().newCassette(CassetteType::c60());
    studio->setShowingDesigner(true);
    QApplication::processEvents();
    QDialog* sheet = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(top); dialog && dialog->isVisible()) sheet = dialog;
    ASSERT_NE(sheet, nullptr);
    QTest::keyClick(sheet, Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(studio->deckInput(), DeckInput::tuner);
    QTest::keyClick(sheet, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(studio->showingDesigner());
}

TEST_F(StudioWindowTest, TunerItemsShowPresetsAndTheTunedStation) {
    TunerEngine& tuner = studio->tuner();
    // The directory's name is the station's own: controls replaced, its direction kept to itself.
    tuner.store(studio.station("s3", "Rock & Roll\u202E FM\n"), 2);
    EXPECT_EQ(action(StudioActions::Id::preset3)->text(),
              QStringLiteral("P3  \u2068Rock && Roll\uFFFD FM\uFFFD\u2069"));
    EXPECT_TRUE(action(StudioActions::Id::preset3)->isEnabled());
    EXPECT_EQ(action(StudioActions::Id::store3)->text(),
              QStringLiteral("P3  \u2014  \u2068Rock && Roll\uFFFD FM\uFFFD\u2069"));
    EXPECT_EQ(action(StudioActions::Id::store4)->text(), "P4");
    EXPECT_FALSE(action(StudioActions::Id::preset4)->isEnabled());
    EXPECT_FALSE(action(StudioActions::Id::storeMenu)->isEnabled());

    studio.tuneTo(studio.station("s5", "Jazz"), std::nullopt);
    ASSERT_TRUE(tuner.station().has_value());
    EXPECT_TRUE(action(StudioActions::Id::storeMenu)->isEnabled());
    action(StudioActions::Id::store5)->trigger();
    ASSERT_TRUE(tuner.presets()[4].has_value());
    EXPECT_EQ(tuner.presets()[4]->id, "s5");
    EXPECT_EQ(action(StudioActions::Id::preset5)->text(), QStringLiteral("P5  \u2068Jazz\u2069"));

    action(StudioActions::Id::muting)->trigger();
    EXPECT_TRUE(tuner.muting());
    EXPECT_TRUE(action(StudioActions::Id::muting)->isChecked());
}

}  // namespace
}  // namespace norvo
