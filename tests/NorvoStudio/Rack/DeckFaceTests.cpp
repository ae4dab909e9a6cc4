#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <QToolTip>
#include <chrono>
#include <fstream>
#include <functional>
#include <vector>

#include "Kit/DisplayWindow.hpp"
#include "Kit/HardwareKey.hpp"
#include "Kit/HoldKey.hpp"
#include "Kit/Knob.hpp"
#include "NorvoStudio/Rack/FacePixels.hpp"
#include "NorvoStudio/Support/FakeDeck.hpp"
#include "NorvoStudio/Support/ImageDifference.hpp"
#include "NorvoStudio/Support/ManualAnimationDriver.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Rack/CassetteDeckView.hpp"
#include "Rack/ModelDeck.hpp"
#include "Rack/TapeSoundMenuItems.hpp"
#include "Support/FakeClock.hpp"

namespace norvo {
namespace {

QPoint centreOf(QWidget* key) {
    if (auto* button = qobject_cast<KeyButton*>(key)) return button->keyRect().center();
    if (auto* hold = qobject_cast<HoldKey*>(key)) return hold->keyRect().center();
    return key->rect().center();
}

void click(QWidget* key) { QTest::mouseClick(key, Qt::LeftButton, Qt::NoModifier, centreOf(key)); }

bool latched(QWidget* key) {
    if (auto* button = qobject_cast<HardwareKey*>(key)) return button->keyStyle().latched;
    return static_cast<HoldKey*>(key)->latched();
}

QStringList titles(QMenu* menu) {
    QStringList list;
    for (QAction* action : menu->actions()) list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
}

QAction* actionNamed(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text) return action;
    return nullptr;
}

QUrl urlOf(const std::filesystem::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); }

class DeckFace : public ::testing::Test {
protected:
    void SetUp() override {
        studio.start();
        face = std::make_unique<CassetteDeckView>(deck);
        face->show();
    }

    // One tick after some audio was rendered, as the studio does 60 times a second.
    void run(double seconds = 1.0 / 60.0) {
        studio.renderSeconds(seconds);
        studio.tick(seconds);
    }

    TransportMode mode() { return studio->live().snapshot().transport.mode; }
    int64_t head() { return studio->live().snapshot().transport.head; }

    // A drop on the well as the desktop delivers it; returns whether it was accepted.
    bool drop(const QList<QUrl>& urls, QPointF at = {}) {
        if (at.isNull()) at = face->partRect(CassetteDeckView::Part::well).center();
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(face.get(), &enter);
        targetedWhileHovering = face->dropTargeted();
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(face.get(), &dropped);
        return dropped.isAccepted();
    }

    std::filesystem::path savedCassette(const std::string& name) {
        studio.insertBlank();
        const auto file = studio.directory / name;
        studio->cassetteSlot().save(file);
        studio.runBackground();
        return file;
    }

    test::StudioFixture studio;
    test::FakeClock clock{Date{} + std::chrono::seconds(1'700'000'000)};
    ModelDeck deck{*studio, clock};
    std::unique_ptr<CassetteDeckView> face;
    bool targetedWhileHovering = false;
};

// The lightest pixel of a key's lettering as the face shows it.
double brightestOn(CassetteDeckView& face, KeyButton* key) {
    QImage image(face.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    face.render(&image);
    const QRect area = key->keyRect().translated(key->pos()).adjusted(4, 4, -4, -4);
    double most = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            most = std::max(most, double(image.pixelColor(x, y).lightnessF()));
    return most;
}

TEST_F(DeckFace, WithoutACassetteOnlyTheDocumentKeysAreDisabledAndTheDisplayShowsDashes) {
    EXPECT_FALSE(face->ejectKey()->isEnabled());
    EXPECT_FALSE(face->flipKey()->isEnabled());
    // ... and look it: their lettering is dimmed beside STOP's.
    const double stop = brightestOn(*face, face->stopKey());
    EXPECT_GT(stop, 0.8);
    EXPECT_LT(brightestOn(*face, face->ejectKey()), stop - 0.3);
    EXPECT_LT(brightestOn(*face, face->flipKey()), stop - 0.3);
    for (QWidget* key : {static_cast<QWidget*>(face->recordKey()), static_cast<QWidget*>(face->playKey()),
                         static_cast<QWidget*>(face->stopKey()), static_cast<QWidget*>(face->rewindKey()),
                         static_cast<QWidget*>(face->forwardKey())})
        EXPECT_TRUE(key->isEnabled());
    EXPECT_EQ(face->counterText(), "---");
    EXPECT_EQ(face->statusText(), "NO CASSETTE");
    EXPECT_EQ(face->readout().time, "-:--");
    EXPECT_EQ(face->readout().tape, "---");
    EXPECT_EQ(face->wellMenu(), nullptr);

    // The model refuses REC without a cassette: the key stays up, because it shows the
    // transport, not the press.
    click(face->recordKey());
    run();
    EXPECT_EQ(mode(), TransportMode::stopped);
    EXPECT_FALSE(latched(face->recordKey()));

    studio.insertBlank();
    run();
    EXPECT_TRUE(face->ejectKey()->isEnabled());
    EXPECT_NEAR(brightestOn(*face, face->ejectKey()), stop, 0.02);
    EXPECT_NEAR(brightestOn(*face, face->flipKey()), stop, 0.02);
}

TEST_F(DeckFace, TransportKeysCallTheModelAndLatchByTheTransportMode) {
    studio.insertBlank();
    run();
    EXPECT_TRUE(face->ejectKey()->isEnabled());
    EXPECT_TRUE(face->flipKey()->isEnabled());
    EXPECT_EQ(face->statusText(), "■ STOP  ·  BEGINNING OF SIDE");
    EXPECT_EQ(face->counterText(), "000");
    EXPECT_EQ(face->readout().tape, "C60");

    click(face->playKey());
    EXPECT_EQ(mode(), TransportMode::playing);
    EXPECT_TRUE(latched(face->playKey()));
    EXPECT_FALSE(latched(face->recordKey()));
    EXPECT_TRUE(face->readout().tapeRunLamp);
    EXPECT_EQ(face->statusText(), "▶ PLAY");
    run(0.5);
    EXPECT_EQ(face->readout().time, "0:00");
    EXPECT_EQ(face->readout().remain, "-29:59");

    click(face->stopKey());
    EXPECT_EQ(mode(), TransportMode::stopped);
    EXPECT_FALSE(latched(face->playKey()));
    EXPECT_EQ(face->statusText(), "■ STOP");

    click(face->recordKey());
    EXPECT_EQ(mode(), TransportMode::recordArmed);
    EXPECT_TRUE(latched(face->recordKey()));
    EXPECT_FALSE(latched(face->playKey()));
    EXPECT_FALSE(face->readout().tapeRunLamp);
    EXPECT_EQ(face->statusText(), "● REC PAUSE — WAITING FOR CD");

    // The source starts: the deck records, and REC and PLAY are both down.
    ASSERT_TRUE(studio.playSong(studio.makeSong("Song.wav", 3)));
    run(0.2);
    EXPECT_EQ(mode(), TransportMode::recording);
    EXPECT_TRUE(latched(face->recordKey()));
    EXPECT_TRUE(latched(face->playKey()));
    EXPECT_EQ(face->statusText(), "● RECORDING · CD");
    EXPECT_GT(face->readout().recordedFraction, 0.0);

    click(face->stopKey());
    run();
    EXPECT_FALSE(latched(face->recordKey()));

    click(face->flipKey());
    run();
    EXPECT_TRUE(face->readout().sideBLit);
    EXPECT_EQ(face->readout().recordedFraction, 0.0);  // side B has its own, empty, map

    studio.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    click(face->ejectKey());
    run();
    EXPECT_FALSE(studio->editor().document().has_value());
    EXPECT_EQ(face->statusText(), "NO CASSETTE");
    EXPECT_FALSE(face->ejectKey()->isEnabled());
}

TEST_F(DeckFace, HoldKeysWindWhileHeldAndEndTheWindOnRelease) {
    studio.insertBlank();
    run();

    QTest::mousePress(face->forwardKey(), Qt::LeftButton, Qt::NoModifier, centreOf(face->forwardKey()));
    EXPECT_EQ(mode(), TransportMode::fastForward);
    run(1.0);
    EXPECT_TRUE(latched(face->forwardKey()));
    EXPECT_TRUE(face->statusText().startsWith("▶▶ FAST FORWARD  ×"));
    const int64_t wound = head();
    EXPECT_GT(wound, 44100 * 2);
    QTest::mouseRelease(face->forwardKey(), Qt::LeftButton, Qt::NoModifier, centreOf(face->forwardKey()));
    EXPECT_EQ(mode(), TransportMode::stopped);
    run();
    EXPECT_FALSE(latched(face->forwardKey()));
    EXPECT_EQ(head(), wound);

    QTest::mousePress(face->rewindKey(), Qt::LeftButton, Qt::NoModifier, centreOf(face->rewindKey()));
    EXPECT_EQ(mode(), TransportMode::rewinding);
    run(0.25);
    EXPECT_TRUE(latched(face->rewindKey()));
    EXPECT_LT(head(), wound);
    // A release that never comes (the face goes away) still ends the wind.
    face->hide();
    EXPECT_EQ(mode(), TransportMode::stopped);
}

TEST_F(DeckFace, InputKeysSetTheDeckInputAndTheCoreFollows) {
    EXPECT_TRUE(latched(face->inputKey(DeckInput::sourcePlayer)));
    click(face->inputKey(DeckInput::tuner));
    EXPECT_EQ(studio->deckInput(), DeckInput::tuner);
    run();
    EXPECT_EQ(studio->live().snapshot().deckInput, DeckInput::tuner);
    EXPECT_TRUE(latched(face->inputKey(DeckInput::tuner)));
    EXPECT_FALSE(latched(face->inputKey(DeckInput::sourcePlayer)));
    EXPECT_TRUE(face->inputKey(DeckInput::tuner)->toolTip().startsWith("Record and hear the radio tuner RO-01 ("));

    click(face->inputKey(DeckInput::sourcePlayer));
    run();
    EXPECT_EQ(studio->live().snapshot().deckInput, DeckInput::sourcePlayer);
}

TEST_F(DeckFace, ResetZeroesTheCounterWhereTheHeadStands) {
    const QPoint reset = face->partRect(CassetteDeckView::Part::resetKey).center().toPoint();
    QTest::mouseClick(face.get(), Qt::LeftButton, Qt::NoModifier, reset);  // no document: nothing to reset
    EXPECT_EQ(studio->cassetteSlot().counterOffset(), 0.0);

    studio.insertBlank();
    QTest::mousePress(face->forwardKey(), Qt::LeftButton, Qt::NoModifier, centreOf(face->forwardKey()));
    run(1.0);
    QTest::mouseRelease(face->forwardKey(), Qt::LeftButton, Qt::NoModifier, centreOf(face->forwardKey()));
    run();
    EXPECT_NE(face->counterText(), "000");
    QTest::mouseClick(face.get(), Qt::LeftButton, Qt::NoModifier, reset);
    EXPECT_GT(studio->cassetteSlot().counterOffset(), 0.0);
    EXPECT_EQ(face->counterText(), "000");
}

TEST_F(DeckFace, KnobsAreBoundToRecordLevelAndDeckVolume) {
    Knob* level = face->recordLevelKnob();
    level->setValue(0.25);
    EXPECT_DOUBLE_EQ(studio->recordLevel(), 0.25);
    QTest::mouseDClick(level, Qt::LeftButton, Qt::NoModifier, level->layoutRect().topLeft() + QPoint(20, 20));
    EXPECT_NEAR(studio->recordLevel(), 2.0 / 3.0, 1e-9);

    studio->setDeckVolume(0.3);
    EXPECT_DOUBLE_EQ(face->outputKnob()->value(), 0.3);
    QTest::mouseDClick(face->outputKnob(), Qt::LeftButton, Qt::NoModifier,
                       face->outputKnob()->layoutRect().topLeft() + QPoint(20, 20));
    EXPECT_DOUBLE_EQ(studio->deckVolume(), 0.8);
}

TEST_F(DeckFace, DropOpensTheFirstCassetteOrSoundProfileAndRefusesTheRest) {
    const auto song = studio.makeSong("Song.wav", 1);
    std::ofstream(studio.directory / "notes.txt") << "hello";
    EXPECT_FALSE(drop({urlOf(song), urlOf(studio.directory / "notes.txt")}));
    EXPECT_TRUE(targetedWhileHovering);  // the well lit while the drag hovered
    EXPECT_FALSE(face->dropTargeted());
    EXPECT_TRUE(studio->source().tracks().empty());  // the well never feeds the player
    EXPECT_FALSE(studio->editor().document().has_value());

    const auto profile = studio.directory / "Warm.NVSOUND";
    std::ofstream(profile) << R"({"name": "Warm", "id": "org.example.warm", "format_version": "1.0",
                                 "format": "NORVO-Sound"})";
    EXPECT_TRUE(drop({urlOf(profile)}));
    ASSERT_FALSE(studio->tapeSounds().library().imported.empty());
    EXPECT_EQ(studio->tapeSounds().library().imported.front().name, "Warm");

    // A cassette among other files: only the first accepted one is opened.
    const auto cassette = savedCassette("Mixtape.norvo");
    studio.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    studio->cassetteSlot().eject();
    studio.runBackground();
    ASSERT_FALSE(studio->editor().document().has_value());
    const std::size_t profiles = studio->tapeSounds().library().imported.size();
    std::ofstream(studio.directory / "Other.nvsound")
        << R"({"name": "Other", "id": "org.example.other", "format_version": "1.0", "format": "NORVO-Sound"})";
    EXPECT_TRUE(drop({urlOf(song), urlOf(cassette), urlOf(studio.directory / "Other.nvsound")}));
    studio.runBackground();
    ASSERT_TRUE(studio->editor().document().has_value());
    EXPECT_EQ(studio->cassetteSlot().fileUrl(), cassette);
    EXPECT_EQ(studio->tapeSounds().library().imported.size(), profiles);

    // A drag that enters beside the well lights it only once it is over it.
    QMimeData data;
    data.setUrls({urlOf(cassette)});
    QDragEnterEvent enter(face->partRect(CassetteDeckView::Part::display).center().toPoint(), Qt::CopyAction, &data,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(face.get(), &enter);
    EXPECT_FALSE(face->dropTargeted());
    QDragMoveEvent over(face->partRect(CassetteDeckView::Part::well).center().toPoint(), Qt::CopyAction, &data,
                        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(face.get(), &over);
    EXPECT_TRUE(face->dropTargeted());
    EXPECT_TRUE(over.isAccepted());
    QDragLeaveEvent leave;
    QApplication::sendEvent(face.get(), &leave);
    EXPECT_FALSE(face->dropTargeted());

    // Outside the well the face takes no drop.
    EXPECT_FALSE(drop({urlOf(cassette)}, face->partRect(CassetteDeckView::Part::display).center()));
}

TEST_F(DeckFace, WellMenuFlipsEjectsDesignsAndCyclesEachSidesTab) {
    studio.insertBlank();
    run();
    QMenu* menu = face->wellMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titles(menu), (QStringList{"Design Cassette…", "Flip Cassette", "-", "Side A: Break off record tab",
                                         "Side B: Break off record tab", "-", "Eject"}));
    EXPECT_EQ(face->readout().tab, WriteProtect::intact);

    actionNamed(menu, "Side A: Break off record tab")->trigger();
    EXPECT_EQ(studio->editor().document()->sideA.writeProtect, WriteProtect::broken);
    EXPECT_EQ(face->readout().tab, WriteProtect::broken);
    const auto helpAt = [&](CassetteDeckView::Part part) {
        const QPoint at = face->partRect(part).center().toPoint();
        QHelpEvent help(QEvent::ToolTip, at, face->mapToGlobal(at));
        QApplication::sendEvent(face.get(), &help);
        return QToolTip::text();
    };
    EXPECT_EQ(helpAt(CassetteDeckView::Part::tabIndicator), "Tab broken off");
    EXPECT_TRUE(helpAt(CassetteDeckView::Part::tapeSoundKey).startsWith("Play the cassette as it is."));
    menu = face->wellMenu();
    actionNamed(menu, "Side A: Cover tab hole with tape")->trigger();
    EXPECT_EQ(face->readout().tab, WriteProtect::tapedOver);
    menu = face->wellMenu();
    ASSERT_NE(actionNamed(menu, "Side A: Remove the tape"), nullptr);
    EXPECT_NE(actionNamed(menu, "Side B: Break off record tab"), nullptr);

    actionNamed(menu, "Flip Cassette")->trigger();
    run();
    EXPECT_TRUE(face->readout().sideBLit);
    EXPECT_EQ(face->readout().tab, WriteProtect::intact);  // side B's own tab

    actionNamed(face->wellMenu(), "Design Cassette…")->trigger();
    EXPECT_TRUE(studio->showingDesigner());

    studio.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    actionNamed(face->wellMenu(), "Eject")->trigger();
    run();
    EXPECT_FALSE(studio->editor().document().has_value());
}

TEST_F(DeckFace, ArmedRecLampBlinksByTheWallClockAndTapeSoundLabelFollowsTheSelection) {
    studio.insertBlank();
    click(face->recordKey());
    run();
    EXPECT_TRUE(face->readout().recLamp);
    clock.advance(std::chrono::milliseconds(500));
    face->refresh();
    EXPECT_FALSE(face->readout().recLamp);
    clock.advance(std::chrono::milliseconds(500));
    face->refresh();
    EXPECT_TRUE(face->readout().recLamp);

    EXPECT_EQ(face->tapeSoundLabel(), "Clean");
    const SoundProfile& builtIn = TapeSoundLibrary::builtIns().front();
    studio->tapeSounds().select(builtIn.id);
    EXPECT_EQ(face->tapeSoundLabel(), QString::fromStdString(builtIn.name));
    TapeSoundMenuItems::fill(*face->tapeSoundMenu(), *studio);
    EXPECT_FALSE(face->tapeSoundMenu()->actions().isEmpty());
}

// Counts what a tick repaints: only the parts whose values moved, never the whole face.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    QRegion everything;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            everything += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

TEST_F(DeckFace, ATickRepaintsOnlyWhatMoved) {
    studio.insertBlank();
    click(face->playKey());
    run(0.5);
    QCoreApplication::processEvents();
    PaintRecorder recorder;
    face->installEventFilter(&recorder);
    qint64 area = 0;
    for (int i = 0; i < 30; ++i) {
        run();
        QCoreApplication::processEvents();
        for (const QRect& r : recorder.painted) area += qint64(r.width()) * r.height();
        recorder.painted = QRegion();
    }
    EXPECT_GT(area, 0);
    EXPECT_LT(area, 30LL * face->width() * face->height() / 2);
    EXPECT_FALSE(recorder.everything.intersects(face->partRect(CassetteDeckView::Part::tapeSoundKey).toAlignedRect()));
    face->removeEventFilter(&recorder);
}

// What a change of the deck's state repaints, on a scripted deck: a cassette stopped a minute
// into side A, a load under way. Each change repaints the parts that show it and nothing else.
struct RepaintCase {
    const char* name;
    std::function<void(test::FakeDeck&)> setUp;  // before the face is built
    std::function<void(test::FakeDeck&)> change;
    std::vector<CassetteDeckView::Part> parts;
};

void PrintTo(const RepaintCase& c, std::ostream* os) { *os << c.name; }

class DeckFaceRepaint : public ::testing::TestWithParam<RepaintCase> {};

// Without sound the deck says so on a line above its status, which stays whole: the display,
// and the face, grow by that line while the output has no device.
TEST(DeckFaceSound, ALostOutputAddsALineAboveTheStatusUntilTheSoundIsBack) {
    test::FakeDeck deck;
    deck.cassette = CassetteDocument(CassetteType::c60(), "Mixtape", CassetteDesign{});
    deck.live.load(CassetteTransport::Cassette{CassetteType::c60()}, 0);
    CassetteDeckView face(deck);
    const int height = face.height();
    const QRectF status = face.partRect(CassetteDeckView::Part::status);

    deck.loss = QStringLiteral("Gone.");
    deck.announce();
    QCoreApplication::processEvents();
    EXPECT_EQ(face.statusText(), "■ STOP  ·  BEGINNING OF SIDE");
    EXPECT_GT(face.height(), height);
    EXPECT_GT(face.partRect(CassetteDeckView::Part::status).height(), status.height());

    deck.loss.reset();
    deck.announce();
    QCoreApplication::processEvents();
    EXPECT_EQ(face.height(), height);
    EXPECT_EQ(face.partRect(CassetteDeckView::Part::status), status);
}

TEST_P(DeckFaceRepaint, AChangeRepaintsOnlyThePartsThatShowIt) {
    test::FakeDeck deck;
    deck.cassette = CassetteDocument(CassetteType::c60(), "Mixtape", CassetteDesign{});
    deck.live.load(CassetteTransport::Cassette{CassetteType::c60()}, 60 * 44100 + 100);
    deck.recorded = 20 * 60 * 44100;
    deck.work = DeckFacade::Busy{QStringLiteral("Loading Mixtape…"), 0.25};
    if (GetParam().setUp) GetParam().setUp(deck);
    CassetteDeckView face(deck);
    face.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    PaintRecorder recorder;
    face.installEventFilter(&recorder);
    GetParam().change(deck);
    deck.announce();
    QCoreApplication::processEvents();
    face.removeEventFilter(&recorder);

    QRegion expected;
    for (CassetteDeckView::Part part : GetParam().parts) expected += face.partRect(part).toAlignedRect();
    EXPECT_EQ(recorder.painted, expected);
}

using Part = CassetteDeckView::Part;
INSTANTIATE_TEST_SUITE_P(
    Changes, DeckFaceRepaint,
    ::testing::Values(
        RepaintCase{"CounterReset", {}, [](test::FakeDeck& d) { d.offset = 1; }, {Part::counter, Part::resetKey}},
        RepaintCase{"HeadMovesAFewFrames", {}, [](test::FakeDeck& d) { d.live.head += 10; }, {Part::reels}},
        RepaintCase{
            "Flipped", {}, [](test::FakeDeck& d) { d.live.cassette->side = TapeSide::b; }, {Part::well, Part::sides}},
        RepaintCase{"TabBrokenOff",
                    {},
                    [](test::FakeDeck& d) { d.cassette->sideA.writeProtect = WriteProtect::broken; },
                    {Part::well}},
        RepaintCase{"Levels", {}, [](test::FakeDeck& d) { d.levels.left.db = -10; }, {Part::meters}},
        RepaintCase{"LoadProgress", {}, [](test::FakeDeck& d) { d.work->progress = 0.5; }, {Part::busy}},
        RepaintCase{"TapeSound", {}, [](test::FakeDeck& d) { d.tapeSound = "Warm"; }, {Part::tapeSoundKey}},
        RepaintCase{"ArmedLampBlinks",
                    [](test::FakeDeck& d) { d.live.mode = TransportMode::recordArmed; },
                    [](test::FakeDeck& d) { d.wallClock += std::chrono::milliseconds(500); },
                    {Part::recLamp}}),
    [](const ::testing::TestParamInfo<RepaintCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace norvo

namespace norvo {
namespace {

// The resting cassette's cover is kept as pixels while only its reels are drawn anew: the well
// must still show what a face drawn from scratch shows, as the tape runs and after an edit.
TEST_F(DeckFace, TheWellFollowsTheHeadAndTheDocumentThoughItsCoverIsKept) {
    test::ManualAnimationDriver animations;
    studio.insertBlank();
    click(face->playKey());
    run(0.5);
    animations.pass(600);  // slid in
    const auto well = [](CassetteDeckView& view) {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        view.render(&image);
        return image.copy(view.partRect(CassetteDeckView::Part::well).toAlignedRect());
    };
    const auto fresh = [&] {
        CassetteDeckView other(deck);
        other.resize(face->size());
        return well(other);
    };
    const QImage playing = well(*face);
    EXPECT_LE(test::largestDifference(playing, fresh()), 2);

    for (int i = 0; i < 120; ++i) run();  // the reels turn
    QCoreApplication::processEvents();
    const QImage later = well(*face);
    EXPECT_GT(test::largestDifference(later, playing), 40);
    EXPECT_LE(test::largestDifference(later, fresh()), 2);

    studio->editor().updateDocument([](CassetteDocument& d) { d.design.shellColor.alpha = 0.3; });
    run();
    QCoreApplication::processEvents();
    const QImage edited = well(*face);
    EXPECT_GT(test::largestDifference(edited, later), 40);
    EXPECT_LE(test::largestDifference(edited, fresh()), 2);
}

// A glow spreads over the glass around its figures; the text box they are laid out in does
// not cut it: left of the counter's and the status line's first glyphs, and right of TAPE.
TEST_F(DeckFace, GlowsSpreadOverTheGlassBeyondTheirTextBoxes) {
    studio.insertBlank();
    click(face->playKey());
    run(0.5);
    QCoreApplication::processEvents();
    const QImage image = test::rendered(*face, 2.0);
    const QRectF display = face->partRect(CassetteDeckView::Part::display);
    const QRectF content = DisplayWindow::contentRect(display);
    const qreal bareLeft = display.left() + 2.5, bareRight = display.right() - 2.5;
    const qreal statusY = face->partRect(CassetteDeckView::Part::status).center().y();
    const qreal counterY = face->partRect(CassetteDeckView::Part::counter).center().y();
    const QRectF time = face->partRect(CassetteDeckView::Part::time);
    const qreal valueY = time.bottom() - 9 - 8;  // the values' middle, under their captions
    EXPECT_GT(test::glowOverGlass(image, {content.left() - 1.5, statusY}, bareLeft), 8) << "▶ PLAY";
    EXPECT_GT(test::glowOverGlass(image, {content.left() - 1.5, counterY}, bareLeft), 8) << "counter";
    EXPECT_GT(test::glowOverGlass(image, {content.right() + 1.5, valueY}, bareRight), 8) << "C60";
}

// A cassette slides into the well when it arrives and out when it goes, fading as one picture
// on the way: its red shell does not show through its white label (a grey, not a pink).
TEST_F(DeckFace, ACassetteSlidesInAndOutFadingAsOnePicture) {
    test::ManualAnimationDriver animations;
    studio.insertBlank();
    studio->editor().updateDocument([](CassetteDocument& d) {
        d.design.shellColor = RGBAColor{1, 0, 0, 1};
        d.design.shellTransparent = false;
        d.design.labelStyle = LabelStyle::plain;
        d.design.labelColor = d.design.inkColor = d.design.accentColor = RGBAColor{1, 1, 1, 1};
    });
    run();
    const QRect well = face->partRect(CassetteDeckView::Part::well).toAlignedRect();
    const auto wellImage = [&] { return test::rendered(*face).copy(well); };
    const auto count = [&](const QImage& image, const std::function<bool(const QColor&)>& which) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += which(image.pixelColor(x, y));
        return n;
    };
    const auto white = [](const QColor& c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; };
    const auto faded = [](const QColor& c) {
        return c.green() > 120 && std::abs(c.red() - c.green()) < 6 && std::abs(c.green() - c.blue()) < 6;
    };
    const auto pink = [](const QColor& c) {
        return c.green() > 60 && c.red() - c.green() > 25 && std::abs(c.green() - c.blue()) < 12;
    };

    animations.pass(120);  // three quarters of the way in, a little above its place
    const QImage coming = wellImage();
    animations.pass(600);
    const QImage resting = wellImage();
    const int label = count(resting, white);
    ASSERT_GT(label, 3000);
    EXPECT_GT(test::largestDifference(coming, resting), 100) << "it slides in";
    EXPECT_GT(count(coming, faded), label / 2) << "the label, faded";
    EXPECT_LT(count(coming, pink), label / 10) << "the label mixed with the shell under it";

    studio.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    studio->cassetteSlot().eject();
    run();
    ASSERT_FALSE(studio->editor().document().has_value());
    animations.pass(45);  // a quarter of the way out
    const QImage going = wellImage();
    EXPECT_GT(count(going, faded), label / 2);
    EXPECT_LT(count(going, pink), label / 10);
}

TEST_F(DeckFace, DrawsTheSameUnderThePaintersScale) {
    studio.insertBlank();
    click(face->playKey());
    run(0.5);
    EXPECT_LT(test::meanDifferenceUnderScale(*face, 0.75), 3.0);
}

}  // namespace
}  // namespace norvo
