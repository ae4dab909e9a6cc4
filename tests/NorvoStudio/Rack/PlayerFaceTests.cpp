#define Q_TEST_QPIXMAPCACHE  // QPixmapCache::totalUsed()
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPixmapCache>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <fstream>

#include "Kit/DisplayWindow.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/Knob.hpp"
#include "Kit/SilverKey.hpp"
#include "NorvoStudio/Rack/FacePixels.hpp"
#include "NorvoStudio/Support/FakePlayer.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Rack/EnginePlayer.hpp"
#include "Rack/PlayerProgramList.hpp"
#include "Rack/SourcePlayerView.hpp"

namespace norvo {
namespace {

using State = SourcePlayerEngine::State;

QUrl urlOf(const std::filesystem::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); }

class PlayerFace : public ::testing::Test {
protected:
    void SetUp() override {
        studio.start();
        window.resize(600, 800);
        auto* layout = new QVBoxLayout(&window);
        field = new QLineEdit(&window);
        layout->addWidget(field);
        face = new SourcePlayerView(player, &window);
        face->setFixedSize(SourcePlayerView::designWidth, 620);
        layout->addWidget(face);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    SourcePlayerEngine& source() { return studio->source(); }
    PlayerProgramList* list() { return face->programList(); }
    QWidget* rows() { return list()->viewport(); }
    QPoint rowCentre(std::size_t index) { return list()->rowRect(index).center(); }

    std::vector<std::filesystem::path> songs(std::initializer_list<const char*> names) {
        std::vector<std::filesystem::path> files;
        for (const char* name : names) files.push_back(studio.makeSong(name, 2));
        return files;
    }
    std::vector<std::string> titles() {
        std::vector<std::string> list;
        for (const auto& t : source().tracks()) list.push_back(t.title);
        return list;
    }
    void tick() {
        studio.renderSeconds(1.0 / 60.0);
        studio.tick();
    }

    bool drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = rows()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rows(), &enter);
        targetedWhileHovering = face->dropTargeted();
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rows(), &dropped);
        return dropped.isAccepted();
    }

    test::StudioFixture studio;
    EnginePlayer player{*studio};
    QWidget window;
    QLineEdit* field = nullptr;
    SourcePlayerView* face = nullptr;
    bool targetedWhileHovering = false;
};

TEST_F(PlayerFace, DropAddsSupportedLocalFilesInOrderAndSkipsFolders) {
    const auto files = songs({"One.wav", "Two.mp3"});
    std::ofstream(studio.directory / "notes.txt") << "not audio";
    std::filesystem::create_directory(studio.directory / "Album.flac");
    EXPECT_EQ(face->readout().status, "NO DISC — DROP MP3 / WAV FILES");

    EXPECT_TRUE(drop({urlOf(files[0]), urlOf(studio.directory / "notes.txt"), urlOf(studio.directory / "Album.flac"),
                      urlOf(files[1])}));
    EXPECT_TRUE(targetedWhileHovering);
    EXPECT_FALSE(face->dropTargeted());
    EXPECT_EQ(titles(), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(source().selection(), source().tracks()[0].id);
    EXPECT_EQ(face->readout().status, "2 TRACKS  ·  READY");
    EXPECT_EQ(face->readout().trackNumber, "01");

    EXPECT_FALSE(drop({urlOf(studio.directory / "notes.txt"), urlOf(studio.directory / "Album.flac")}));
    EXPECT_EQ(source().tracks().size(), 2u);
}

TEST_F(PlayerFace, DraggingARowReordersThroughTheEngineAndSurvivesARebuild) {
    source().add(songs({"A.wav", "B.wav", "C.wav"}));
    QTest::mousePress(rows(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    EXPECT_EQ(source().selection(), source().tracks()[0].id);
    QTest::mouseMove(rows(), rowCentre(1));
    // The engine publishes a change in the middle of the drag (a new track arrives).
    source().add({studio.makeSong("D.wav", 1)});
    QTest::mouseMove(rows(), list()->rowRect(2).bottomLeft() + QPoint(10, -2));
    EXPECT_EQ(list()->dropGap(), std::optional<std::size_t>(3));
    QTest::mouseRelease(rows(), Qt::LeftButton, Qt::NoModifier, list()->rowRect(2).bottomLeft() + QPoint(10, -2));
    EXPECT_EQ(titles(), (std::vector<std::string>{"B", "C", "A", "D"}));
    EXPECT_EQ(source().selection(), source().tracks()[2].id);  // the selection went with its track
    EXPECT_FALSE(list()->dropGap().has_value());
}

TEST_F(PlayerFace, DoubleClickPlaysAndDeleteRemovesTheSelection) {
    source().add(songs({"A.wav", "B.wav", "C.wav"}));
    QTest::mouseDClick(rows(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    ASSERT_TRUE(studio.settle([&] { return source().state() == State::playing; }));
    EXPECT_EQ(source().currentTrackID(), source().tracks()[1].id);
    EXPECT_EQ(source().selection(), source().tracks()[1].id);
    tick();
    EXPECT_EQ(face->readout().status, QStringLiteral("\u2068B\u2069"));
    EXPECT_EQ(face->readout().trackNumber, "02");
    EXPECT_TRUE(face->readout().playing);
    EXPECT_TRUE(face->playPauseKey()->keyStyle().lit);

    // Removing the current track stops the player; the selection moves to the first track.
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Backspace);
    EXPECT_EQ(titles(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(source().state(), State::stopped);
    EXPECT_EQ(source().selection(), source().tracks()[0].id);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(titles(), (std::vector<std::string>{"C"}));

    // The row menu plays and removes the row's own track.
    QMenu* menu = list()->rowMenu(source().tracks()[0].id);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Play");
    EXPECT_EQ(menu->actions()[1]->text(), "Remove");
    menu->actions()[1]->trigger();
    EXPECT_TRUE(source().tracks().empty());
    source().setSelection(std::nullopt);
    QTest::keyClick(list(), Qt::Key_Backspace);  // nothing selected: nothing happens
}

TEST_F(PlayerFace, ScrubbingMovesTheFillAndSeeksOnceOnRelease) {
    const QRectF bar = face->partRect(SourcePlayerView::Part::progress).adjusted(6, 6, -6, -2);
    const auto at = [&](double fraction) {
        return QPoint(int(bar.left() + bar.width() * fraction), int(bar.top() + 2));
    };
    // While stopped the bar takes no input.
    QTest::mousePress(face, Qt::LeftButton, Qt::NoModifier, at(0.5));
    EXPECT_FALSE(face->scrubbing().has_value());
    QTest::mouseRelease(face, Qt::LeftButton, Qt::NoModifier, at(0.5));

    ASSERT_TRUE(studio.playSong(studio.makeSong("Long.wav", 8)));
    tick();
    const int64_t before = source().position();
    QTest::mousePress(face, Qt::LeftButton, Qt::NoModifier, at(0.25));
    ASSERT_TRUE(face->scrubbing().has_value());
    EXPECT_NEAR(*face->scrubbing(), 0.25, 0.01);
    QTest::mouseMove(face, at(0.75));
    EXPECT_NEAR(face->readout().progress, 0.75, 0.01);
    EXPECT_LT(source().position(), before + 44100);  // no seek yet
    QTest::mouseMove(face, QPoint(int(bar.right()) + 80, int(bar.top() + 2)));
    EXPECT_EQ(*face->scrubbing(), 1.0);
    QTest::mouseMove(face, at(0.75));
    QTest::mouseRelease(face, Qt::LeftButton, Qt::NoModifier, at(0.75));
    EXPECT_FALSE(face->scrubbing().has_value());
    ASSERT_TRUE(studio.settle([&] {
        tick();
        return std::abs(source().position() - int64_t(0.75 * 8 * 44100)) < 44100 / 2;
    }));
    EXPECT_EQ(source().state(), State::playing);
}

// A track plays the fill through every width of the bar; the glow of each width is not kept
// for good (a long track would leave hundreds of them).
TEST_F(PlayerFace, TheFillGrowingAcrossTheBarKeepsNoGlowOfEachWidth) {
    ASSERT_TRUE(studio.playSong(studio.makeSong("Long.wav", 8)));
    tick();
    QPixmapCache::clear();
    QImage image(face->size(), QImage::Format_ARGB32_Premultiplied);
    face->render(&image);
    const int kept = QPixmapCache::totalUsed();
    const QRectF progress = face->partRect(SourcePlayerView::Part::progress);
    const QRectF bar = progress.adjusted(6, 6, -6, -2);
    const int y = int(bar.top() + 2);
    QTest::mousePress(face, Qt::LeftButton, Qt::NoModifier, QPoint(int(bar.left()), y));
    for (int x = int(bar.left()); x <= int(bar.right()) + 10; ++x) {
        QTest::mouseMove(face, QPoint(x, y));
        face->render(&image, progress.topLeft().toPoint(), QRegion(progress.toAlignedRect()));
    }
    EXPECT_EQ(face->readout().progress, 1.0);
    QTest::mouseRelease(face, Qt::LeftButton, Qt::NoModifier, QPoint(int(bar.right()), y));
    EXPECT_LE(QPixmapCache::totalUsed(), kept + 1) << "megabytes kept for good";
}

TEST_F(PlayerFace, SpaceBarPlaysAndPausesExceptWhileATextFieldHasFocus) {
    source().add(songs({"A.wav"}));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Space);
    ASSERT_TRUE(studio.settle([&] { return source().state() == State::playing; }));
    tick();
    QTest::keyClick(list(), Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(source().state(), State::playing);
    QTest::keyClick(list(), Qt::Key_Space);
    EXPECT_EQ(source().state(), State::paused);

    field->setFocus();
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_EQ(source().state(), State::paused);
    EXPECT_EQ(field->text(), " ");
}

TEST_F(PlayerFace, KeysCallTheEngineAndTheVolumeKnobIsBoundToIt) {
    source().add(songs({"A.wav", "B.wav"}));
    QTest::mouseClick(face->playPauseKey(), Qt::LeftButton, Qt::NoModifier, face->playPauseKey()->keyRect().center());
    ASSERT_TRUE(studio.settle([&] { return source().state() == State::playing; }));
    QTest::mouseClick(face->nextKey(), Qt::LeftButton, Qt::NoModifier, face->nextKey()->keyRect().center());
    ASSERT_TRUE(studio.settle([&] { return source().currentTrackID() == source().tracks()[1].id; }));
    QTest::mouseClick(face->stopKey(), Qt::LeftButton, Qt::NoModifier, face->stopKey()->keyRect().center());
    EXPECT_EQ(source().state(), State::stopped);
    EXPECT_EQ(face->readout().time, "-:--");
    EXPECT_FALSE(face->playPauseKey()->keyStyle().lit);
    QTest::mouseClick(face->previousKey(), Qt::LeftButton, Qt::NoModifier, face->previousKey()->keyRect().center());
    EXPECT_EQ(source().currentTrackID(), source().tracks()[0].id);

    const auto extra = studio.makeSong("C.wav", 1);
    studio.ui.openAnswers.push_back({extra});
    QTest::mouseClick(face->openKey(), Qt::LeftButton, Qt::NoModifier, face->openKey()->keyRect().center());
    EXPECT_EQ(studio.ui.openPanels.size(), 1u);
    EXPECT_EQ(source().tracks().size(), 3u);
    EXPECT_TRUE(face->openKey()->toolTip().startsWith("Add MP3 / WAV files ("));

    Knob* volume = face->volumeKnob();
    volume->setValue(0.0);
    EXPECT_EQ(source().volume(), 0.0f);
    QTest::mouseDClick(volume, Qt::LeftButton, Qt::NoModifier, volume->layoutRect().topLeft() + QPoint(20, 20));
    EXPECT_FLOAT_EQ(source().volume(), 0.8f);
}

TEST_F(PlayerFace, ATrackWhoseFileVanishedShowsItsErrorLine) {
    const auto file = studio.makeSong("Gone.wav", 1);
    source().add({file});
    const int listHeight = list()->height();
    EXPECT_FALSE(face->readout().error.has_value());
    std::filesystem::remove(file);
    source().play(source().tracks()[0].id);
    ASSERT_TRUE(studio.settle([&] { return source().lastError().has_value(); }));
    ASSERT_TRUE(face->readout().error.has_value());
    EXPECT_TRUE(face->readout().error->startsWith("Cannot play Gone: "));
    EXPECT_FALSE(face->partRect(SourcePlayerView::Part::error).isEmpty());
    EXPECT_LT(list()->height(), listHeight);  // the error line takes its room from the list
}

}  // namespace
}  // namespace norvo

namespace norvo {
namespace {

// The turning disc's halo and the track number's glow spread over the glass: the text box
// they are laid out in does not square them off.
TEST_F(PlayerFace, GlowsSpreadOverTheGlassBeyondTheirTextBoxes) {
    source().add(songs({"A.wav"}));
    ASSERT_TRUE(studio.playSong(studio.makeSong("B.wav", 2)));
    tick();
    QCoreApplication::processEvents();
    ASSERT_TRUE(face->readout().playing);
    const QImage image = test::rendered(*face, 2.0);
    const QRectF display = face->partRect(SourcePlayerView::Part::display);
    const QRectF content = DisplayWindow::contentRect(display);
    const QRectF disc = face->partRect(SourcePlayerView::Part::disc).adjusted(9, 9, -9, -9);
    const qreal bareLeft = display.left() + 2.5, bareRight = display.right() - 2.5;
    EXPECT_GT(test::glowOverGlass(image, {content.right() + 1.5, disc.center().y()}, bareRight), 8) << "disc, right";
    EXPECT_GT(test::glowOverGlass(image, {disc.center().x(), content.top() - 1.5}, bareRight), 8) << "disc, above";
    const qreal trackY = face->partRect(SourcePlayerView::Part::trackNumber).center().y();
    EXPECT_GT(test::glowOverGlass(image, {content.left() - 1.5, trackY}, bareLeft), 8) << "track number";
}

TEST_F(PlayerFace, DrawsTheSameUnderThePaintersScale) {
    source().add(songs({"A.wav", "B.wav"}));
    ASSERT_TRUE(studio.playSong(studio.makeSong("C.wav", 2)));
    tick();
    EXPECT_LT(test::meanDifferenceUnderScale(*face, 0.75), 3.0);
}

}  // namespace
}  // namespace norvo

namespace norvo {
namespace {

// Collects what is repainted, the face and its children alike.
class PaintRecorder : public QObject {
public:
    qint64 area = 0;
    QSet<QObject*> widgets;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            widgets.insert(object);
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) area += qint64(r.width()) * r.height();
        }
        return false;
    }
};

TEST_F(PlayerFace, ATickWhilePlayingRepaintsOnlyTheDisplayParts) {
    source().add(songs({"A.wav", "B.wav"}));
    ASSERT_TRUE(studio.playSong(studio.makeSong("C.wav", 4)));
    // Lengths arriving redraw their rows, rightly: let them all arrive first.
    ASSERT_TRUE(studio.settle([&] {
        return std::all_of(source().tracks().begin(), source().tracks().end(),
                           [](const SourceTrack& t) { return t.durationFrames.has_value(); });
    }));
    tick();
    QCoreApplication::processEvents();
    PaintRecorder recorder;
    face->installEventFilter(&recorder);
    rows()->installEventFilter(&recorder);
    for (SilverKey* key : {face->previousKey(), face->playPauseKey(), face->stopKey()})
        key->installEventFilter(&recorder);
    face->volumeKnob()->installEventFilter(&recorder);
    for (int i = 0; i < 30; ++i) {
        tick();
        QCoreApplication::processEvents();
    }
    EXPECT_GT(recorder.area, 0);
    EXPECT_TRUE(recorder.widgets.contains(face));
    QStringList redrawn;
    for (QObject* widget : recorder.widgets) redrawn << widget->metaObject()->className();
    EXPECT_EQ(recorder.widgets.size(), 1) << redrawn.join(", ").toStdString();  // no key, knob or row redrawn
    EXPECT_LT(recorder.area, 30LL * face->width() * face->height() / 4);
}

TEST_F(PlayerFace, AListOfManyTracksRedrawsOnlyTheRowsThatChangedInSight) {
    const auto song = studio.makeSong("Song.wav", 1);
    source().add(std::vector<std::filesystem::path>(60, song));
    const auto measured = [&] {
        return std::all_of(source().tracks().begin(), source().tracks().end(),
                           [](const SourceTrack& t) { return t.durationFrames.has_value(); });
    };
    ASSERT_TRUE(studio.settle(measured));
    QCoreApplication::processEvents();
    const int rowsInSight = rows()->height() / PlayerProgramList::rowHeight + 1;
    ASSERT_LT(rowsInSight, 60);
    const int scrollRange = list()->verticalScrollBar()->maximum();

    PaintRecorder recorder;
    rows()->installEventFilter(&recorder);
    // A file added below the glass, then its length: the scroll range grows, no row is drawn.
    source().add({song});
    QCoreApplication::processEvents();
    ASSERT_TRUE(studio.settle(measured));
    QCoreApplication::processEvents();
    EXPECT_EQ(list()->verticalScrollBar()->maximum(), scrollRange + PlayerProgramList::rowHeight);
    EXPECT_EQ(recorder.area, 0);

    // A new selection redraws the two rows whose highlight changed, not the glass.
    source().setSelection(source().tracks()[2].id);
    QCoreApplication::processEvents();
    EXPECT_GT(recorder.area, 0);
    EXPECT_LE(recorder.area, 2LL * rows()->width() * PlayerProgramList::rowHeight);
}

TEST_F(PlayerFace, TheErrorLineKeepsItsWholeSentenceAsHelpAndGoesWithAnotherTrack) {
    const auto gone = studio.makeSong("A title long enough that its sentence runs past the display.wav", 1);
    const auto other = studio.makeSong("Other.wav", 1);
    source().add({gone, other});
    std::filesystem::remove(gone);
    source().play(source().tracks()[0].id);
    ASSERT_TRUE(studio.settle([&] { return source().lastError().has_value(); }));
    QCoreApplication::processEvents();

    const QString sentence = QString::fromStdString(*source().lastError());
    const QRectF line = face->partRect(SourcePlayerView::Part::error);
    const GlowText drawn{sentence, 9, KitColor::ledRed};
    ASSERT_GT(drawn.sizeHint().width(), line.width()) << "the line is cut";
    // The help shown at a point, none when the face declines the request.
    const auto helpAt = [&](QPointF point) -> std::optional<QString> {
        const QPoint at = point.toPoint();
        QHelpEvent help(QEvent::ToolTip, at, face->mapToGlobal(at));
        QApplication::sendEvent(face, &help);
        if (!help.isAccepted()) return std::nullopt;
        return QToolTip::text();
    };
    EXPECT_EQ(helpAt(line.center()), sentence);
    EXPECT_EQ(helpAt(face->partRect(SourcePlayerView::Part::status).center()), std::nullopt);

    // Stepping to the next track takes the line away, and its room goes back to the list.
    const int listHeight = list()->height();
    source().next();
    EXPECT_FALSE(face->readout().error.has_value());
    EXPECT_GT(list()->height(), listHeight);
    EXPECT_EQ(helpAt(line.center()), std::nullopt);
}

}  // namespace
}  // namespace norvo

namespace norvo {
namespace {

// The face on a scripted player: a change repaints the parts of the face that show it and
// nothing else of the face; children (a key that lights, a row of the list) repaint their own.
struct RepaintCase {
    const char* name;
    void (*change)(test::FakePlayer&);
    std::vector<SourcePlayerView::Part> parts;
};

void PrintTo(const RepaintCase& change, std::ostream* out) { *out << change.name; }

class PlayerFaceRepaints : public ::testing::TestWithParam<RepaintCase> {};

TEST_P(PlayerFaceRepaints, OnlyThePartsThatShowTheChange) {
    using Part = SourcePlayerView::Part;
    test::FakePlayer player;
    player.setTracks({SourceTrack{Uuid::random(), "/music/A.wav", "A", 120 * 44100},
                      SourceTrack{Uuid::random(), "/music/B.wav", "B", 200 * 44100},
                      SourceTrack{Uuid::random(), "/music/C.wav", "C", std::nullopt}});
    player.current = player.selected = player.trackList[1].id;
    player.playerState = State::playing;
    player.frame = int64_t(61.5 * 44100);
    player.length = 200 * 44100;
    player.error = "Cannot play C: the file is gone.";
    player.meters.left.db = player.meters.left.peakDB = -20;
    player.meters.right.db = player.meters.right.peakDB = -24;

    QWidget window;
    auto* face = new SourcePlayerView(player, &window);
    face->setFixedSize(SourcePlayerView::designWidth, 620);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();

    // What each widget repainted, in the face's coordinates.
    struct Recorder : QObject {
        QWidget* face = nullptr;
        QRegion own, children;
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() != QEvent::Paint) return false;
            auto* widget = static_cast<QWidget*>(object);
            const QRegion region = static_cast<QPaintEvent*>(event)->region();
            if (widget == face) own += region;
            else children += region.translated(widget->mapTo(face, QPoint(0, 0)));
            return false;
        }
    } recorder;
    recorder.face = face;
    face->installEventFilter(&recorder);
    for (QWidget* child : face->findChildren<QWidget*>()) child->installEventFilter(&recorder);

    GetParam().change(player);
    player.publish();
    QCoreApplication::processEvents();

    QRegion expected;
    for (const Part part : GetParam().parts) {
        const QRect rect = face->partRect(part).toAlignedRect();
        EXPECT_TRUE((QRegion(rect) - recorder.own).isEmpty()) << "part " << int(part) << " not repainted whole";
        expected += rect;
    }
    const QRegion stray = recorder.own - expected - recorder.children;
    EXPECT_TRUE(stray.isEmpty()) << "repainted beyond the changed parts: " << stray.boundingRect().x() << ","
                                 << stray.boundingRect().y() << " " << stray.boundingRect().width() << "x"
                                 << stray.boundingRect().height();
    EXPECT_EQ(GetParam().parts.empty(), recorder.own.isEmpty());
}

using Part = SourcePlayerView::Part;

INSTANTIATE_TEST_SUITE_P(
    Changes, PlayerFaceRepaints,
    ::testing::Values(
        RepaintCase{"Nothing", [](test::FakePlayer&) {}, {}},
        RepaintCase{"Levels", [](test::FakePlayer& p) { p.meters.left.db = -6; }, {Part::meters}},
        RepaintCase{
            "PositionWithinItsSecond", [](test::FakePlayer& p) { p.frame += 441; }, {Part::disc, Part::progress}},
        RepaintCase{"PositionIntoTheNextSecond",
                    [](test::FakePlayer& p) { p.frame = 62 * 44100 + 100; },
                    {Part::time, Part::disc, Part::progress}},
        RepaintCase{"Pause", [](test::FakePlayer& p) { p.playerState = State::paused; }, {Part::lineOut, Part::disc}},
        RepaintCase{"AnotherTrack",
                    [](test::FakePlayer& p) { p.current = p.selected = p.trackList[2].id; },
                    {Part::trackNumber, Part::time, Part::status}},
        RepaintCase{"Duration", [](test::FakePlayer& p) { p.length = 100 * 44100; }, {Part::progress}},
        RepaintCase{
            "ErrorText", [](test::FakePlayer& p) { p.error = "Cannot play A: the file is gone."; }, {Part::error}}),
    [](const ::testing::TestParamInfo<RepaintCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace norvo
