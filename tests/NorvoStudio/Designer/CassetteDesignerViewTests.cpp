#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTextLayout>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteView.hpp"
#include "CassetteDrawing/JCardView.hpp"
#include "Designer/CassetteDesignerView.hpp"
#include "Designer/ColorWell.hpp"
#include "Designer/DesignerArtworkPage.hpp"
#include "Designer/DesignerDetailsPage.hpp"
#include "Designer/DesignerFormSection.hpp"
#include "Designer/DesignerPicker.hpp"
#include "Designer/DesignerPreview.hpp"
#include "Designer/DesignerSegmentedControl.hpp"
#include "Designer/DesignerStyleSwatch.hpp"
#include "Designer/DesignerTextEditor.hpp"
#include "Designer/DesignerTextField.hpp"
#include "NorvoStudio/Support/PngData.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include <QWheelEvent>

// Readable failures of Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[' << list.join(QStringLiteral("\", \"")).toStdString() << ']';
}

namespace norvo {
namespace {

// Types text as key events carrying the characters (QTest's key clicks are ASCII only).
void type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

using Tab = CassetteDesignerView::Tab;

// A started headless studio with a blank C60 loaded and the sheet shown and active.
class DesignerSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        f.start();
        f.insertBlank();
        ASSERT_TRUE(f->editor().document());
        ASSERT_FALSE(f->editor().metadataEdited());
        open();
    }
    void TearDown() override {
        delete sheet.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void open() {
        f->setShowingDesigner(true);
        sheet = new CassetteDesignerView(*f);
        sheet->show();
        sheet->activateWindow();
        QApplication::processEvents();
    }
    // Lets queued work (the artwork import) and deferred deletions run.
    static void settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    template <class W>
    W* find(const QString& name) const {
        W* widget = sheet->findChild<W*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    const CassetteDocument& document() { return *f->editor().document(); }

    DesignerFormSection* section(const QString& header) const {
        for (auto* s : sheet->findChildren<DesignerFormSection*>())
            if (s->headerLabel()->text() == header) return s;
        ADD_FAILURE() << "no section " << header.toStdString();
        return nullptr;
    }
    // "label | value" of each shown row made of labels.
    static QStringList rowTexts(DesignerFormSection* s) {
        QStringList rows;
        for (int i = 0; i < s->rowCount(); ++i) {
            QWidget* row = s->row(i);
            if (!row || row->isHidden()) continue;
            QStringList parts;
            for (QLabel* label : row->findChildren<QLabel*>()) parts << label->text();
            if (auto* alone = qobject_cast<QLabel*>(row)) parts << alone->text();
            rows << parts.join(QStringLiteral(" | "));
        }
        return rows;
    }

    static FileData png(QSize size, QColor colour) { return test::pngData(size, colour, QImage::Format_ARGB32); }
    std::filesystem::path pngFile(const std::string& name, QSize size, QColor colour) {
        const auto path = f.directory.path() / name;
        const FileData data = png(size, colour);
        QFile file(QString::fromStdString(path.string()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(data.data()), qint64(data.size()));
        return path;
    }

    test::StudioFixture f;
    QPointer<CassetteDesignerView> sheet;
};

TEST_F(DesignerSheetTest, OpensAsAFixedWindowModalSheetOnTheCassettePageWithSideA) {
    EXPECT_EQ(sheet->size(), QSize(988, 720));
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->tab(), Tab::cassette);
    EXPECT_EQ(sheet->previewSide(), TapeSide::a);
    EXPECT_EQ(find<QLabel>("footerCaption")->text(), "Saved into the .norvo file (NORVO 1.0).");
    EXPECT_TRUE(sheet->doneKey()->isDefault());
    EXPECT_EQ(sheet->doneKey()->text(), "Done");
    EXPECT_EQ(find<DesignerSegmentedControl>("pageSwitch")->titles(),
              QStringList({"Cassette", "J-card", "Artwork", "Details"}));
    EXPECT_EQ(sheet->preview()->width(), 508);

    // Choices made in one showing are gone in the next.
    sheet->setTab(Tab::details);
    sheet->preview()->setSide(TapeSide::b);
    sheet->close();
    settle();
    EXPECT_TRUE(sheet.isNull());
    open();
    EXPECT_EQ(sheet->tab(), Tab::cassette);
    EXPECT_EQ(sheet->previewSide(), TapeSide::a);
    EXPECT_EQ(sheet->preview()->cassette()->side(), TapeSide::a);
}

TEST_F(DesignerSheetTest, TabRawValuesAreExactlyTheSegmentTitles) {
    EXPECT_EQ(CassetteDesignerView::tabFromRaw("J-card"), Tab::jcard);
    EXPECT_EQ(CassetteDesignerView::tabFromRaw("Details"), Tab::details);
    EXPECT_EQ(CassetteDesignerView::tabFromRaw("jcard"), std::nullopt);
    EXPECT_EQ(CassetteDesignerView::tabFromRaw("cassette"), std::nullopt);
}

TEST_F(DesignerSheetTest, ReturnInATextFieldPressesDoneAndClearsTheFlag) {
    auto* title = find<DesignerTextField>("cassetteTitle");
    title->setFocus();
    QTest::keyClicks(title, "Mix");
    QTest::keyClick(title, Qt::Key_Return);
    settle();
    EXPECT_TRUE(sheet.isNull());
    EXPECT_FALSE(f->showingDesigner());
    EXPECT_EQ(document().name, "Mix");  // nothing undone on closing
}

TEST_F(DesignerSheetTest, EscapeClosesTheSheetEvenFromAMultiLineEditor) {
    sheet->setTab(Tab::jcard);
    auto* tracks = find<DesignerTextEditor>("sideATracks");
    tracks->setFocus();
    QTest::keyClick(tracks, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(sheet.isNull());
    EXPECT_FALSE(f->showingDesigner());
}

TEST_F(DesignerSheetTest, ClosesWhenTheCassetteGoesAwayOrTheFlagIsClearedElsewhere) {
    // Also with a colour dialog up: it goes with the sheet and stores nothing.
    auto* ink = find<ColorWell>("inkColor");
    ink->click();
    QPointer<QColorDialog> dialog = ink->dialog();
    ASSERT_TRUE(dialog);
    f->cassetteSlot().removeCassette();
    settle();
    EXPECT_TRUE(sheet.isNull());
    EXPECT_TRUE(dialog.isNull());
    EXPECT_FALSE(f->showingDesigner());

    f.insertBlank();
    open();
    f->setShowingDesigner(false);
    settle();
    EXPECT_TRUE(sheet.isNull());
}

TEST_F(DesignerSheetTest, WithoutACassetteTheSheetIsEmptyAndEscapeStillClosesIt) {
    delete sheet.data();
    f->cassetteSlot().removeCassette();
    open();
    EXPECT_EQ(sheet->preview(), nullptr);
    EXPECT_EQ(sheet->doneKey(), nullptr);
    EXPECT_TRUE(sheet->findChildren<QLineEdit*>().isEmpty());
    QTest::keyClick(sheet, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(sheet.isNull());
    EXPECT_FALSE(f->showingDesigner());
}

TEST_F(DesignerSheetTest, ThePageSwitchShowsThePageAndChangesNothing) {
    auto* pageSwitch = find<DesignerSegmentedControl>("pageSwitch");
    auto* pages = sheet->findChild<QStackedWidget*>();
    QTest::mouseClick(pageSwitch, Qt::LeftButton, {}, pageSwitch->segmentRect(2).center());
    EXPECT_EQ(sheet->tab(), Tab::artwork);
    EXPECT_EQ(pages->currentWidget()->objectName(), "artworkPage");
    QTest::keyClick(pageSwitch, Qt::Key_Right);
    EXPECT_EQ(pages->currentWidget()->objectName(), "detailsPage");
    EXPECT_FALSE(f->editor().metadataEdited());
}

// MARK: - Typing into every field

struct TextFieldCase {
    const char* name;
    Tab tab;
    std::string (*field)(const CassetteDocument&);
};

class DesignerTextFieldTest : public DesignerSheetTest, public ::testing::WithParamInterface<TextFieldCase> {};

TEST_P(DesignerTextFieldTest, EveryKeystrokeGoesIntoTheDocumentAndMarksItUnsaved) {
    const TextFieldCase& c = GetParam();
    sheet->setTab(c.tab);
    QWidget* editor = find<QWidget>(c.name);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->isVisible());
    editor->setFocus();
    const std::string before = c.field(document());
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->end(/*mark=*/false);
    if (auto* text = qobject_cast<QPlainTextEdit*>(editor)) text->moveCursor(QTextCursor::End);

    type(editor, QString::fromUtf8("\u00E9"));
    EXPECT_EQ(c.field(document()), before + "\u00E9");
    EXPECT_TRUE(f->editor().metadataEdited());
    EXPECT_TRUE(f->cassetteSlot().hasUnsavedChanges());
    type(editor, QString::fromUtf8("t\u00A0x"));
    EXPECT_EQ(c.field(document()), before + "\u00E9t\u00A0x");  // a non-breaking space stays one
    // Typing and deleting again leaves the mark set.
    for (int i = 0; i < 4; ++i) QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(c.field(document()), before);
    EXPECT_TRUE(f->editor().metadataEdited());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DesignerTextFieldTest,
    ::testing::Values(
        TextFieldCase{"cassetteTitle", Tab::cassette, [](const CassetteDocument& d) { return d.name; }},
        TextFieldCase{"sideATitle", Tab::cassette, [](const CassetteDocument& d) { return d.sideA.title; }},
        TextFieldCase{"sideBTitle", Tab::cassette, [](const CassetteDocument& d) { return d.sideB.title; }},
        TextFieldCase{"jcardTitle", Tab::jcard, [](const CassetteDocument& d) { return d.jcard.title; }},
        TextFieldCase{"jcardSubtitle", Tab::jcard, [](const CassetteDocument& d) { return d.jcard.subtitle; }},
        TextFieldCase{"spineText", Tab::jcard, [](const CassetteDocument& d) { return d.jcard.spineText; }},
        TextFieldCase{"flapText", Tab::jcard, [](const CassetteDocument& d) { return d.jcard.flapText; }},
        TextFieldCase{"dedication", Tab::jcard, [](const CassetteDocument& d) { return d.jcard.dedication; }},
        TextFieldCase{"creator", Tab::details, [](const CassetteDocument& d) { return d.creator; }},
        TextFieldCase{"serialNumber", Tab::details, [](const CassetteDocument& d) { return d.serialNumber; }},
        TextFieldCase{"genre", Tab::details, [](const CassetteDocument& d) { return d.genre; }},
        TextFieldCase{"description", Tab::details, [](const CassetteDocument& d) { return d.description; }},
        TextFieldCase{"notes", Tab::details, [](const CassetteDocument& d) { return d.notes; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DesignerSheetTest, MultiLineFieldsStoreLineFeeds) {
    sheet->setTab(Tab::details);
    auto* description = find<DesignerTextEditor>("description");
    description->setFocus();
    const int oneLine = description->height();
    QTest::keyClicks(description, "first");
    QTest::keyClick(description, Qt::Key_Return);
    QTest::keyClicks(description, "second");
    QTest::keyClick(description, Qt::Key_Return, Qt::ShiftModifier);  // a line separator, stored as a line feed
    QTest::keyClicks(description, "third");
    EXPECT_EQ(document().description, "first\nsecond\nthird");
    EXPECT_GT(description->height(), oneLine);                   // the field grows with its lines
    for (int i = 0; i < 10; ++i) QApplication::processEvents();  // the form's layout follows
    const QRect inRow = description->geometry();
    EXPECT_GE(description->parentWidget()->height(), inRow.bottom() + 1);  // and is not cut by its row
}

TEST_F(DesignerSheetTest, TrackListsKeepEmptyLinesAndAnEmptyEditorStoresOneEmptyTitle) {
    sheet->setTab(Tab::jcard);
    auto* tracks = find<DesignerTextEditor>("sideATracks");
    tracks->setFocus();
    QTest::keyClicks(tracks, "a");
    QTest::keyClick(tracks, Qt::Key_Return);
    QTest::keyClick(tracks, Qt::Key_Return);
    type(tracks, QString::fromUtf8("b\u00A0c"));
    EXPECT_EQ(document().jcard.sideATracks, (std::vector<std::string>{"a", "", "b\u00A0c"}));
    EXPECT_TRUE(document().jcard.sideBTracks.empty());

    tracks->selectAll();
    QTest::keyClick(tracks, Qt::Key_Delete);
    EXPECT_EQ(document().jcard.sideATracks, std::vector<std::string>{""});

    // A list from elsewhere (a recording) is shown one title per line, no trailing line.
    f->editor().updateDocument([](CassetteDocument& d) { d.jcard.sideBTracks = {"One", "Two", "Three"}; });
    EXPECT_EQ(find<DesignerTextEditor>("sideBTracks")->text(), "One\nTwo\nThree");
}

TEST_F(DesignerSheetTest, PlaceholdersFollowTheCassetteName) {
    sheet->setTab(Tab::jcard);
    auto* title = find<DesignerTextField>("jcardTitle");
    auto* spine = find<DesignerTextField>("spineText");
    EXPECT_EQ(title->placeholderText(), "");
    EXPECT_EQ(spine->placeholderText(), "");
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Mixtape 3 stra\u00DFe"; });
    EXPECT_EQ(title->placeholderText(), QString::fromUtf8("Mixtape 3 stra\u00DFe"));
    EXPECT_EQ(spine->placeholderText(), "MIXTAPE 3 STRASSE");
    EXPECT_TRUE(document().jcard.title.empty());
}

// MARK: - Refreshing from the model

TEST_F(DesignerSheetTest, AnEditFromElsewhereKeepsTheCaretAndWaitsForAComposition) {
    auto* title = find<DesignerTextField>("cassetteTitle");
    title->setFocus();
    QTest::keyClicks(title, "Hello");
    title->setCursorPosition(2);
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Hello world"; });
    EXPECT_EQ(title->text(), "Hello world");
    EXPECT_EQ(title->cursorPosition(), 2);

    // An input method composing: its text is not pulled away under it.
    QInputMethodEvent preedit(QStringLiteral("ka"), {});
    QApplication::sendEvent(title, &preedit);
    ASSERT_TRUE(title->composing());
    f->editor().updateDocument([](CassetteDocument& d) { d.name = "Changed"; });
    EXPECT_EQ(title->text(), "Hello world");
    EXPECT_TRUE(title->composing());
    QInputMethodEvent cancelled(QString(), {});
    QApplication::sendEvent(title, &cancelled);
    EXPECT_FALSE(title->composing());
    EXPECT_EQ(title->text(), "Changed");
    EXPECT_EQ(document().name, "Changed");
}

TEST_F(DesignerSheetTest, ACommittedCompositionIsWrittenOnce) {
    sheet->setTab(Tab::jcard);
    auto* tracks = find<DesignerTextEditor>("sideATracks");
    tracks->setFocus();
    QInputMethodEvent preedit(QStringLiteral("ni"), {});
    QApplication::sendEvent(tracks, &preedit);
    EXPECT_TRUE(document().jcard.sideATracks.empty());  // nothing stored while composing
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("\u306B"));
    QApplication::sendEvent(tracks, &commit);
    EXPECT_EQ(document().jcard.sideATracks, std::vector<std::string>{"\u306B"});
    EXPECT_FALSE(tracks->composing());
}

// MARK: - Edits that change nothing

TEST_F(DesignerSheetTest, AnEditThatChangesNothingMarksNothing) {
    CassetteDocument named = document();
    named.name = "ab";
    f->cassetteSlot().insert(named, f->cassetteSlot().media(), std::nullopt);
    ASSERT_FALSE(f->editor().metadataEdited());
    int published = 0;
    QObject::connect(f.model.get(), &StudioModel::documentChanged, [&] { ++published; });

    // Retyping the selected last letter.
    auto* title = find<DesignerTextField>("cassetteTitle");
    title->setFocus();
    title->setSelection(1, 1);
    QTest::keyClicks(title, "b");
    EXPECT_EQ(title->text(), "ab");
    // The style already applied, the chosen handwriting again.
    find<DesignerStyleSwatch>("swatch-" + QString::fromStdString(document().design.styleID))->click();
    auto* handwriting = find<DesignerPicker>("handwriting");
    emit handwriting->activated(handwriting->currentIndex());
    // The colour that is already stored.
    auto* ink = find<ColorWell>("inkColor");
    ink->click();
    ASSERT_TRUE(ink->dialog());
    ink->dialog()->accept();

    EXPECT_EQ(published, 0);
    EXPECT_FALSE(f->editor().metadataEdited());
}

// MARK: - Cassette page

TEST_F(DesignerSheetTest, PickersWriteTheChosenCase) {
    auto* handwriting = find<DesignerPicker>("handwriting");
    EXPECT_EQ(handwriting->count(), 6);
    EXPECT_EQ(handwriting->itemText(2), "Typewriter");
    handwriting->setCurrentIndex(2);
    emit handwriting->activated(2);
    EXPECT_EQ(document().design.labelFont, FontRole::typewriter);

    auto* labelStyle = find<DesignerPicker>("labelStyle");
    EXPECT_EQ(labelStyle->itemText(3), "Sunset band");
    emit labelStyle->activated(3);
    EXPECT_EQ(document().design.labelStyle, LabelStyle::gradient);

    sheet->setTab(Tab::jcard);
    auto* lettering = find<DesignerPicker>("lettering");
    emit lettering->activated(5);
    EXPECT_EQ(document().jcard.font, FontRole::stencil);
    EXPECT_TRUE(f->editor().metadataEdited());
    // A change from elsewhere moves the picker.
    f->editor().updateDocument([](CassetteDocument& d) { d.jcard.font = FontRole::pen; });
    EXPECT_EQ(lettering->currentIndex(), 1);
}

TEST_F(DesignerSheetTest, AWheelScrollingTheFormPastAPickerChangesNothing) {
    auto* handwriting = find<DesignerPicker>("handwriting");
    const CassetteDocument before = document();
    const bool edited = f->editor().metadataEdited();
    handwriting->clearFocus();
    const QPointF at(handwriting->width() / 2.0, handwriting->height() / 2.0);
    QWheelEvent wheel(at, handwriting->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, /*inverted=*/false);
    QApplication::sendEvent(handwriting, &wheel);
    EXPECT_EQ(document(), before);
    EXPECT_EQ(f->editor().metadataEdited(), edited);
    EXPECT_FALSE(handwriting->hasFocus()) << "the wheel does not give the picker the keyboard";
}

TEST_F(DesignerSheetTest, ColourWellsStoreAcceptedColoursAndOfferOpacityOnlyForThePlastic) {
    auto* paper = find<ColorWell>("paperColor");
    paper->click();
    ASSERT_TRUE(paper->dialog());
    EXPECT_FALSE(paper->dialog()->testOption(QColorDialog::ShowAlphaChannel));
    paper->dialog()->reject();
    settle();
    EXPECT_FALSE(f->editor().metadataEdited());

    paper->click();
    paper->dialog()->setCurrentColor(QColor(10, 20, 30));
    paper->dialog()->accept();
    EXPECT_EQ(document().design.labelColor.hexText(), "#0A141EFF");
    EXPECT_TRUE(f->editor().metadataEdited());

    // A colour of another space is stored as its sRGB components.
    sheet->setTab(Tab::jcard);
    auto* card = find<ColorWell>("cardColor");
    card->click();
    card->dialog()->setCurrentColor(QColor::fromHsv(120, 255, 255));
    card->dialog()->accept();
    EXPECT_EQ(document().jcard.cardColor.hexText(), "#00FF00FF");

    sheet->setTab(Tab::cassette);
    auto* plastic = find<ColorWell>("shellColor");
    plastic->click();
    ASSERT_TRUE(plastic->dialog());
    EXPECT_TRUE(plastic->dialog()->testOption(QColorDialog::ShowAlphaChannel));
    plastic->dialog()->setCurrentColor(QColor(200, 0, 0, 204));
    plastic->dialog()->accept();
    EXPECT_EQ(document().design.shellColor.hexText(), "#C80000CC");
}

TEST_F(DesignerSheetTest, TransparentShellSetsAndRestoresTheShellsOpacity) {
    auto* transparent = find<QCheckBox>("transparentShell");
    ASSERT_FALSE(document().design.shellTransparent);
    ASSERT_EQ(document().design.shellColor.alpha, 1.0);
    QTest::mouseClick(transparent, Qt::LeftButton);
    EXPECT_TRUE(document().design.shellTransparent);
    EXPECT_EQ(document().design.shellColor.alpha, 0.5);
    EXPECT_TRUE(f->editor().metadataEdited());

    // An opacity picked while transparent is kept; opaque and back gives 0.5 again.
    auto* plastic = find<ColorWell>("shellColor");
    plastic->click();
    plastic->dialog()->setCurrentColor(QColor::fromRgbF(0.2f, 0.2f, 0.2f, 0.8f));
    plastic->dialog()->accept();
    EXPECT_NEAR(document().design.shellColor.alpha, 0.8, 1e-4);
    QTest::mouseClick(transparent, Qt::LeftButton);
    EXPECT_FALSE(document().design.shellTransparent);
    EXPECT_EQ(document().design.shellColor.alpha, 1.0);
    QTest::mouseClick(transparent, Qt::LeftButton);
    EXPECT_EQ(document().design.shellColor.alpha, 0.5);

    // With a shell already fainter than 0.5 it stays as it is.
    QTest::mouseClick(transparent, Qt::LeftButton);
    f->editor().updateDocument([](CassetteDocument& d) { d.design.shellColor.alpha = 0.3; });
    QTest::mouseClick(transparent, Qt::LeftButton);
    EXPECT_EQ(document().design.shellColor.alpha, 0.3);
    EXPECT_TRUE(transparent->isChecked());
    // The preview shows the see-through shell.
    EXPECT_TRUE(sheet->preview()->cassette()->document().design.shellTransparent);
}

TEST_F(DesignerSheetTest, ASwatchAppliesItsWholeStyleAndCarriesTheRing) {
    f->editor().updateDocument([](CassetteDocument& d) {
        d.type = *CassetteType::make("C90", 2700);
        d.design.inkColor = {1, 0, 1, 1};
        d.design.labelFont = FontRole::stencil;
    });
    auto* ferro = find<DesignerStyleSwatch>("swatch-ferro");
    EXPECT_TRUE(ferro->selected());  // the ring stays on the style the colours came from
    auto swatches = sheet->findChildren<DesignerStyleSwatch*>();
    EXPECT_EQ(swatches.size(), 8);
    const CassetteStyle mint = *CassetteStyleCatalog::style("mint");
    find<DesignerStyleSwatch>("swatch-mint")->click();
    EXPECT_EQ(document().design, mint.design);
    EXPECT_EQ(document().type.name, "C90");
    EXPECT_TRUE(find<DesignerStyleSwatch>("swatch-mint")->selected());
    EXPECT_FALSE(ferro->selected());
    int ringed = 0;
    for (auto* swatch : swatches) ringed += swatch->selected();
    EXPECT_EQ(ringed, 1);
}

TEST_F(DesignerSheetTest, RecordTabKeysWalkTheTabStatesOfTheirSideOnly) {
    auto* keyA = find<QPushButton>("tabKeyA");
    auto* keyB = find<QPushButton>("tabKeyB");
    const auto stateA = [&] { return rowTexts(section("Record tabs")).value(0); };
    EXPECT_EQ(stateA(), "Side A | Tab intact");
    EXPECT_EQ(keyA->text(), "Break off record tab");
    const std::size_t events = document().history.size();
    const struct {
        const char* state;
        const char* key;
        WriteProtect stored;
    } steps[] = {{"Tab broken off", "Cover tab hole with tape", WriteProtect::broken},
                 {"Taped over", "Remove the tape", WriteProtect::tapedOver},
                 {"Tab broken off", "Cover tab hole with tape", WriteProtect::broken}};
    std::size_t n = 0;
    for (const auto& step : steps) {
        keyA->click();
        ++n;
        EXPECT_EQ(stateA(), QStringLiteral("Side A | ") + step.state);
        EXPECT_EQ(keyA->text(), step.key);
        EXPECT_EQ(document().sideA.writeProtect, step.stored);
        EXPECT_EQ(document().history.size(), events + n);
    }
    EXPECT_EQ(document().sideB.writeProtect, WriteProtect::intact);
    EXPECT_EQ(keyB->text(), "Break off record tab");
    EXPECT_TRUE(f->editor().metadataEdited());
}

// MARK: - Artwork page

TEST_F(DesignerSheetTest, ArtworkIsChosenReplacedAndRemovedThroughThePage) {
    sheet->setTab(Tab::artwork);
    auto* labelB = find<QWidget>("slot-label_b");
    auto* choose = labelB->findChild<QPushButton*>("choose");
    auto* remove = labelB->findChild<QPushButton*>("remove");
    EXPECT_EQ(choose->text(), QString::fromUtf8("Choose\u2026"));
    EXPECT_FALSE(remove->isVisible());
    EXPECT_EQ(sheet->findChildren<QWidget*>(QRegularExpression("^slot-")).size(), 7);  // no thumbnail row

    f.ui.openAnswers.push_back({pngFile("label.png", QSize(1068, 504), Qt::red)});
    QTest::mouseClick(choose, Qt::LeftButton);
    settle();
    ASSERT_EQ(f.ui.openPanels.size(), 1u);
    EXPECT_TRUE(f.ui.openPanels[0].message.startsWith("Label, side B: 89.0"));
    ASSERT_EQ(document().artwork.count(ArtworkRole::labelB), 1u);
    EXPECT_EQ(document().artwork.size(), 1u);
    EXPECT_TRUE(f->editor().metadataEdited());
    EXPECT_TRUE(remove->isVisible());
    EXPECT_EQ(choose->text(), QString::fromUtf8("Replace\u2026"));
    EXPECT_FALSE(find<QWidget>("slot-label_a")->findChild<QPushButton*>("remove")->isVisible());
    EXPECT_EQ(sheet->preview()->cassette()->images().count(ArtworkRole::labelB), 1u);

    // Wrong proportions change nothing.
    const CassetteDocument before = document();
    f.ui.openAnswers.push_back({pngFile("square.png", QSize(600, 600), Qt::blue)});
    QTest::mouseClick(choose, Qt::LeftButton);
    settle();
    EXPECT_EQ(document(), before);
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Wrong proportions");

    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_TRUE(document().artwork.empty());
    EXPECT_FALSE(remove->isVisible());
    EXPECT_EQ(choose->text(), QString::fromUtf8("Choose\u2026"));
}

TEST_F(DesignerSheetTest, BookletPanelsAreAddedAndRenumberedAfterARemoval) {
    sheet->setTab(Tab::artwork);
    DesignerFormSection* booklet = section("Booklet (fold-out panels)");
    EXPECT_EQ(rowTexts(booklet), QStringList({""}));  // only "Add Panel…"
    EXPECT_FALSE(sheet->preview()->booklet()->isVisibleTo(sheet->preview()));
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        f.ui.openAnswers.push_back({pngFile("panel" + std::to_string(i) + ".png", QSize(762, 1219), colours[i])});
        QTest::mouseClick(sheet->findChild<QPushButton*>("addPanel"), Qt::LeftButton);
        settle();
    }
    ASSERT_EQ(document().bookletPanels.size(), 3u);
    EXPECT_TRUE(f.ui.openPanels.back().message.startsWith("Booklet panel: 63.5"));
    EXPECT_EQ(rowTexts(booklet), QStringList({"Panel 1", "Panel 2", "Panel 3", ""}));
    EXPECT_TRUE(sheet->preview()->booklet()->isVisibleTo(sheet->preview()));
    EXPECT_EQ(sheet->preview()->bookletCells(), 3);

    const FileData third = document().bookletPanels[2];
    QTest::mouseClick(sheet->findChild<QWidget*>("panel-2")->findChild<QPushButton*>("remove"), Qt::LeftButton);
    settle();
    ASSERT_EQ(document().bookletPanels.size(), 2u);
    EXPECT_EQ(document().bookletPanels[1], third);
    EXPECT_EQ(rowTexts(booklet), QStringList({"Panel 1", "Panel 2", ""}));
    EXPECT_EQ(sheet->preview()->bookletCells(), 2);
}

TEST(DesignerArtworkTexts, SizeLinesOfTheSlots) {
    EXPECT_EQ(DesignerArtworkPage::sizeLine(ArtworkRole::cassetteFaceA),
              QString::fromUtf8("100.4 \u00D7 63.8 mm \u00B7 2410 \u00D7 1531 px"));
    EXPECT_EQ(DesignerArtworkPage::sizeLine(ArtworkRole::labelA),
              QString::fromUtf8("89.0 \u00D7 42.0 mm \u00B7 2136 \u00D7 1008 px"));
    EXPECT_EQ(DesignerArtworkPage::sizeLine(ArtworkRole::jcardSpine),
              QString::fromUtf8("12.7 \u00D7 101.6 mm \u00B7 305 \u00D7 2438 px"));
    EXPECT_EQ(DesignerArtworkPage::sizeLine(ArtworkRole::jcardFlap),
              QString::fromUtf8("25.4 \u00D7 101.6 mm \u00B7 610 \u00D7 2438 px"));
}

TEST_F(DesignerSheetTest, KeyTitlesKeepClearOfTheirBevels) {
    // Room on each side of the title, whichever title a key shows after a change.
    const auto room = [](QPushButton* key) {
        return (key->width() - key->fontMetrics().horizontalAdvance(key->text())) / 2;
    };
    auto* tabKey = find<QPushButton>("tabKeyA");
    EXPECT_GE(room(tabKey), 12) << tabKey->text().toStdString();
    tabKey->click();
    QApplication::processEvents();
    EXPECT_EQ(tabKey->text(), "Cover tab hole with tape");
    EXPECT_GE(room(tabKey), 12) << tabKey->text().toStdString();
    sheet->setTab(Tab::artwork);
    QApplication::processEvents();
    for (auto* key : {find<QPushButton>("addPanel"), find<QPushButton>("choose"), sheet->doneKey()})
        EXPECT_GE(room(key), 12) << key->text().toStdString();
}

TEST_F(DesignerSheetTest, TheImagesNoteKeepsEachResolutionOnOneLine) {
    sheet->setTab(Tab::artwork);
    QLabel* note = section("Images")->footerLabel();
    const QString text = note->text();
    // "24 px/mm" and "12 px/mm", whatever joins their parts.
    QList<std::pair<qsizetype, qsizetype>> spans;
    const QRegularExpression resolution(QStringLiteral("\\d+\\W{0,2}px\\W{0,3}mm"));
    for (auto match = resolution.globalMatch(text); match.hasNext();) {
        const auto m = match.next();
        spans.push_back({m.capturedStart(), m.capturedEnd()});
    }
    ASSERT_EQ(spans.size(), 2);
    // Wrapped as the label wraps it, at every width it may be given.
    for (int width = 120; width <= 440; ++width) {
        QTextLayout layout(text, note->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            for (const auto& [start, end] : spans)
                EXPECT_FALSE(line.textStart() > start && line.textStart() < end)
                    << "width " << width << ": " << text.mid(start, end - start).toStdString();
        }
        layout.endLayout();
    }
}

// MARK: - Preview

TEST_F(DesignerSheetTest, PreviewFollowsTheSideSwitchTheDocumentAndTheHead) {
    auto* sideSwitch = sheet->preview()->sideSwitch();
    EXPECT_EQ(sideSwitch->titles(), QStringList({"Side A", "Side B"}));
    EXPECT_EQ(sideSwitch->width(), 180);
    QTest::mouseClick(sideSwitch, Qt::LeftButton, {}, sideSwitch->segmentRect(1).center());
    EXPECT_EQ(sheet->previewSide(), TapeSide::b);
    EXPECT_EQ(sheet->preview()->cassette()->side(), TapeSide::b);

    auto* title = find<DesignerTextField>("cassetteTitle");
    QTest::keyClicks(title, "Road");
    EXPECT_EQ(sheet->preview()->cassette()->document().name, "Road");
    EXPECT_EQ(sheet->preview()->jcard()->document().name, "Road");
    EXPECT_EQ(sheet->preview()->jcard()->size(), QSize(240, 240));

    f.writeTone(TapeSide::a, 44100 * 3, 0.1f);
    f->transport(TransportCommand::play);
    ASSERT_TRUE(f.render(44100));
    f.tick();
    const int64_t head = f->live().snapshot().transport.head;
    EXPECT_GT(head, 0);
    EXPECT_EQ(sheet->preview()->cassette()->head(), head);  // also with side B shown
}

TEST_F(DesignerSheetTest, WidthsStayFixedWhateverScrollsAndTheBarsFitTheDarkColumn) {
    DesignerPreview* preview = sheet->preview();
    const auto placeIn = [](QWidget* widget, QWidget* ancestor) {
        return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
    };
    // The first section's box of every page, shown in turn.
    const auto sectionBoxes = [&] {
        QList<QRect> boxes;
        for (Tab tab : CassetteDesignerView::allTabs) {
            sheet->setTab(tab);
            QApplication::processEvents();
            auto* page = sheet->findChild<QStackedWidget*>()->currentWidget();
            boxes << placeIn(page->findChild<DesignerFormSection*>()->box(), sheet);
        }
        sheet->setTab(Tab::cassette);
        return boxes;
    };
    const QRect cassette = placeIn(preview->cassette(), preview);
    const QRect jcard = placeIn(preview->jcard(), preview);
    EXPECT_EQ(cassette, QRect(24, cassette.top(), 460, cassette.height()));
    const QList<QRect> boxes = sectionBoxes();
    for (const QRect& box : boxes) EXPECT_EQ(box.width(), boxes.front().width());

    // Booklet panels make the preview taller than its column.
    for (int i = 0; i < 5; ++i) f->editor().appendBookletPanel(png(QSize(381, 610), QColor(40 * i, 90, 160)));
    settle();
    auto* scroll = preview->findChild<QScrollArea*>();
    ASSERT_GT(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(placeIn(preview->cassette(), preview), cassette);
    EXPECT_EQ(placeIn(preview->jcard(), preview), jcard);
    EXPECT_EQ(sectionBoxes(), boxes);

    // The bar lies in the column's right padding, over the brown: no trough of its own.
    QScrollBar* bar = scroll->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const QRect barRect = placeIn(bar, preview);
    EXPECT_GE(barRect.left(), 24 + 460);
    EXPECT_LE(barRect.right(), 507);
    const QImage shown = preview->grab().toImage();
    const int y = barRect.bottom() - 8;  // below the handle, which stands at the top
    const QColor background = shown.pixelColor(10, y);
    for (int x = barRect.left(); x <= barRect.right(); ++x) {
        const QColor at = shown.pixelColor(x, y);
        EXPECT_LE(std::abs(at.lightness() - background.lightness()), 6) << x;
    }
}

// MARK: - Details page

TEST_F(DesignerSheetTest, DetailsShowTheFactsRecordedLengthsMarkersAndHistoryNewestFirst) {
    sheet->setTab(Tab::details);
    const QString id = QString::fromStdString(document().id.text());
    const QStringList identity = rowTexts(section("Identity"));
    EXPECT_TRUE(identity.contains("Cassette ID | " + id));
    EXPECT_TRUE(identity.contains(QString::fromUtf8("Type | C60 \u00B7 30 min per side")));
    EXPECT_TRUE(identity.contains("Created with | Norvo Studio 1.2"));
    EXPECT_TRUE(find<QLabel>("cassetteID")->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(rowTexts(section("Tape")), QStringList({"Side A recorded | 0:00", "Side B recorded | 0:00"}));
    EXPECT_EQ(rowTexts(section("Track markers")),
              QStringList({"Markers appear here as you record. They are informative: the tape stays one continuous "
                           "recording."}));
    ASSERT_EQ(rowTexts(section("History")).size(), 1);
    EXPECT_TRUE(rowTexts(section("History"))[0].endsWith("| Created with Norvo Studio 1.2"));

    f->cassetteSlot().createBlankCassette(*CassetteType::make("C120", 3600));
    f->cassetteSlot().media()->noteWritten(TapeSide::a, 3599LL * 44100);
    f->cassetteSlot().media()->noteWritten(TapeSide::b, 3600LL * 44100);
    f.tick();
    EXPECT_EQ(rowTexts(section("Tape")), QStringList({"Side A recorded | 59:59", "Side B recorded | 1:00:00"}));

    f->editor().updateDocument([](CassetteDocument& d) {
        d.sideB.markers = {{44100 * 5, "Outro", "track", {}}};
        d.sideA.markers = {{0, "Intro", "track", {}}, {44100 * 205, "Second", "title", {}}};
        HistoryEvent repaired;
        repaired.type = "tape_repaired";
        d.history.push_back(repaired);
    });
    f->editor().advanceWriteProtect(TapeSide::b);
    EXPECT_EQ(rowTexts(section("Track markers")), QStringList({"A 0:00 | Intro", "A 3:25 | Second", "B 0:05 | Outro"}));
    const QStringList history = rowTexts(section("History"));
    ASSERT_EQ(history.size(), 3);
    EXPECT_TRUE(history[0].endsWith("| Side B: Tab broken off"));
    EXPECT_TRUE(history[1].endsWith("| Tape Repaired"));
    EXPECT_TRUE(history[2].endsWith("| Created with Norvo Studio 1.2"));
}

TEST(DesignerDetailsTexts, EventDescriptions) {
    const auto event = [](std::string type) {
        HistoryEvent e;
        e.type = std::move(type);
        return e;
    };
    HistoryEvent recorded = event("recorded");
    recorded.side = TapeSide::a;
    recorded.startFrame = 0;
    recorded.endFrame = 210 * 44100;
    recorded.source = "file";
    HistoryEvent noSource = recorded;
    noSource.source.reset();
    noSource.side.reset();
    HistoryEvent onlyEnd = noSource;
    onlyEnd.startFrame.reset();
    HistoryEvent neither = onlyEnd;
    neither.endFrame.reset();
    HistoryEvent created = event("created");
    created.app = "Norvo Studio 1.2";
    HistoryEvent hostileApp = created;
    hostileApp.app = "Evil \n\u202Eppa";
    HistoryEvent hebrewApp = created;
    hebrewApp.app = "\u05E9\u05DC\u05D5\u05DD";
    HistoryEvent tab = event("write_protect_changed");
    tab.side = TapeSide::b;
    HistoryEvent tapedOver = tab;
    tapedOver.state = WriteProtect::tapedOver;
    HistoryEvent intact = tab;
    intact.state = WriteProtect::intact;

    const std::pair<HistoryEvent, const char*> cases[] = {
        {recorded, "Recorded side A 0:00\u20133:30 from FILE"},
        {noSource, "Recorded side ? 0:00\u20133:30"},
        {onlyEnd, "Recorded side ? 3:30"},
        {neither, "Recorded side ? "},
        {created, "Created with Norvo Studio 1.2"},
        {event("created"), "Created"},
        {tab, "Side B: tab changed"},
        {tapedOver, "Side B: Taped over"},
        {intact, "Side B: Tab intact"},
        {event("tape_repaired"), "Tape Repaired"},
        {event("SPLICED_by_hand"), "Spliced By Hand"},
        {hostileApp, "Created with Evil \uFFFD\uFFFDppa"},
        {hebrewApp, "Created with \u2068\u05E9\u05DC\u05D5\u05DD\u2069"},
        {event("cut\nhere"), "Cut\uFFFDhere"},
    };
    for (const auto& [e, expected] : cases)
        EXPECT_EQ(DesignerDetailsPage::eventDescription(e), QString::fromUtf8(expected)) << e.type;
}

TEST(DesignerDetailsTexts, TypeTextsAndLocaleDates) {
    EXPECT_EQ(DesignerDetailsPage::typeText(CassetteType::c60()), QString::fromUtf8("C60 \u00B7 30 min per side"));
    EXPECT_EQ(DesignerDetailsPage::typeText(CassetteType::custom(2700)),
              QString::fromUtf8("C90 \u00B7 45 min per side"));
    EXPECT_EQ(DesignerDetailsPage::typeText(CassetteType::custom(1000)),
              QString::fromUtf8("C33 \u00B7 17 min per side"));

    const QDateTime local(QDate(2026, 12, 7), QTime(15, 5, 42));
    const Date date{std::chrono::milliseconds(local.toMSecsSinceEpoch())};
    const QString us = DesignerDetailsPage::dateText(date, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.startsWith("Dec 7, 2026, 3:05")) << us.toStdString();
    EXPECT_FALSE(us.contains("42"));
    const QString de = DesignerDetailsPage::dateText(date, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(de.startsWith("7. Dez")) << de.toStdString();
    EXPECT_TRUE(de.endsWith("15:05")) << de.toStdString();
}

// MARK: - Keyboard

TEST_F(DesignerSheetTest, TabCyclesThroughEveryControlOfThePageAndBack) {
    auto* title = find<DesignerTextField>("cassetteTitle");
    title->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), title);
    QStringList order;
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        if (focus == title) break;
        order << focus->objectName();
    }
    EXPECT_EQ(order,
              QStringList({"sideATitle",   "sideBTitle",     "handwriting",   "labelStyle",       "paperColor",
                           "inkColor",     "accentColor",    "shellColor",    "transparentShell", "tabKeyA",
                           "tabKeyB",      "done",           "sideSwitch",    "pageSwitch",       "swatch-ferro",
                           "swatch-smoke", "swatch-crystal", "swatch-chrome", "swatch-kraft",     "swatch-sunset",
                           "swatch-mint",  "swatch-redline"}));

    // Backwards from the first field of the J-card page reaches the page switch.
    sheet->setTab(Tab::jcard);
    auto* jcardTitle = find<DesignerTextField>("jcardTitle");
    jcardTitle->setFocus();
    QTest::keyClick(jcardTitle, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "pageSwitch");
    // Tab leaves a track list instead of typing into it.
    auto* tracks = find<DesignerTextEditor>("sideATracks");
    tracks->setFocus();
    QTest::keyClick(tracks, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "sideBTracks");
    EXPECT_TRUE(document().jcard.sideATracks.empty());
}

}  // namespace
}  // namespace norvo
