#include "NorvoStudioApp/StudioView.hpp"
#include "Rack/CassetteDeckView.hpp"
#include "Rack/CassetteShelf.hpp"
#include "Rack/LineCables.hpp"
#include "Rack/RackGeometry.hpp"
#include "Rack/SourcePlayerView.hpp"
#include "Tuner/TunerView.hpp"

#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace norvo {
namespace {

using test::StudioFixture;

TEST(StudioView, ScalesTheRackAndPublishesEveryDeviceToTheCables) {
    StudioFixture studio;
    test::RackFaceServices faces(*studio, studio.executor);
    StudioView view(*studio, faces.faces());
    view.resize(924, 690);
    view.show();
    QApplication::processEvents();
    RackContent& rack = *view.rack();
    // Margins give way before the rack shrinks for its own height.
    const double tall = std::max(920.0, rack.rackSize().height() - 2 * RackGeometry::margin);
    EXPECT_DOUBLE_EQ(view.scale(), std::min(0.75, 690 / tall));

    view.resize(1232, 690);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(view.scale(), std::min(1.0, 690 / tall));
    // The height decides: the design frame is wider than the rack, which sits centred.
    EXPECT_NEAR(rack.player()->geometry().left() - RackGeometry::margin, (rack.width() - rack.rackSize().width()) / 2.0,
                1.0);

    view.resize(1232, 920);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(view.scale(), 1.0) << "the design size shows the rack at its natural size";
    EXPECT_GE(rack.player()->geometry().top(), 0);
    EXPECT_LE(rack.shelf()->geometry().bottom(), 920);

    view.resize(1600, 1100);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(view.scale(), 1.0);
    EXPECT_EQ(rack.parentWidget(), &view);
    EXPECT_EQ(rack.deck()->geometry().left() - rack.player()->geometry().right() - 1, 26);
    EXPECT_EQ(rack.tuner()->geometry().top() - rack.deck()->geometry().bottom() - 1, 18);
    EXPECT_EQ(rack.deck()->width(), 720);
    EXPECT_EQ(rack.player()->width(), 430);
    EXPECT_EQ(rack.shelf()->width(), 1176);
    EXPECT_GE(rack.shelf()->geometry().top() -
                  std::max(rack.player()->geometry().bottom(), rack.tuner()->geometry().bottom()) - 1,
              18);
}

TEST(StudioView, TheRackKeepsWorkingAcrossScaledAndNaturalSizes) {
    StudioFixture studio;
    test::RackFaceServices faces(*studio, studio.executor);
    StudioView view(*studio, faces.faces());
    view.resize(1600, 1100);
    view.show();
    QApplication::processEvents();
    for (const QSize size : {QSize(924, 690), QSize(1600, 1100), QSize(1000, 760)}) {
        view.resize(size);
        QApplication::processEvents();
        view.rack()->shelf()->blanks()[1]->click();
        ASSERT_TRUE(studio->editor().document());
        EXPECT_EQ(studio->editor().document()->type.description(), "C60");
        studio.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view.render(&image);
        // The wood reaches every corner of the window, scaled or not.
        for (const QPoint corner : {QPoint(1, 1), QPoint(size.width() - 2, size.height() - 2)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 255) << size.width() << "x" << size.height();
    }
}

TEST(StudioView, TheRackFollowsTheDeckGrowingForItsBusyLineAndBack) {
    StudioFixture studio;
    test::RackFaceServices faces(*studio, studio.executor);
    StudioView view(*studio, faces.faces());
    view.resize(1600, 1100);
    view.show();
    QApplication::processEvents();
    studio->cassetteSlot().newCassette(CassetteType::standard()[1]);
    RackContent& rack = *view.rack();
    const int resting = rack.deck()->height();

    studio->cassetteSlot().save(studio.directory / "Busy.norvo");
    ASSERT_TRUE(studio->cassetteSlot().busy());
    QApplication::processEvents();
    EXPECT_GT(rack.deck()->height(), resting);
    EXPECT_EQ(rack.deck()->height(), rack.deck()->sizeHint().height());
    EXPECT_GE(rack.tuner()->geometry().top() - rack.deck()->geometry().bottom() - 1, 18);

    studio.runBackground();
    QApplication::processEvents();
    ASSERT_FALSE(studio->cassetteSlot().busy());
    EXPECT_EQ(rack.deck()->height(), resting);
}

TEST(StudioView, StartsTheModelOnceAndShowsItsAlertUntilDismissed) {
    StudioFixture::Options options;
    options.failingOutput = true;
    StudioFixture studio(options);
    test::RackFaceServices faces(*studio, studio.executor);
    StudioView view(*studio, faces.faces());
    view.resize(1232, 920);
    view.show();
    QApplication::processEvents();
    EXPECT_TRUE(studio->isStarted());
    ASSERT_TRUE(studio->alerts().shown());
    ASSERT_NE(view.alertBox(), nullptr);
    EXPECT_EQ(view.alertBox()->windowTitle(), "No audio output");
    EXPECT_EQ(view.alertBox()->text(), studio->alerts().shown()->message);
    EXPECT_EQ(view.alertBox()->buttons().size(), 1);
    EXPECT_EQ(view.alertBox()->textFormat(), Qt::PlainText);

    view.alertBox()->button(QMessageBox::Ok)->click();
    QApplication::processEvents();
    EXPECT_FALSE(studio->alerts().shown());

    // A second appearance does not start again, so no second alert.
    view.hide();
    view.show();
    QApplication::processEvents();
    EXPECT_FALSE(studio->alerts().shown());
}

TEST(StudioView, PresentsTheDesignerWhileTheModelAsksForIt) {
    StudioFixture studio;
    test::RackFaceServices faces(*studio, studio.executor);
    StudioView view(*studio, faces.faces());
    view.resize(1600, 1100);
    view.show();
    QApplication::processEvents();
    studio->cassetteSlot().newCassette(CassetteType::standard()[2]);
    studio->setShowingDesigner(true);
    QApplication::processEvents();
    ASSERT_NE(view.designerSheet(), nullptr);
    EXPECT_TRUE(view.designerSheet()->isVisible());
    EXPECT_EQ(view.designerSheet()->windowModality(), Qt::WindowModal);

    // Esc closes the sheet and clears the flag; the next showing is a new sheet.
    QTest::keyClick(view.designerSheet(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(studio->showingDesigner());
    EXPECT_EQ(view.designerSheet(), nullptr);
}

TEST(CassetteShelf, BlanksShowTheirTypesAndStylesAndActionsFollowTheModel) {
    StudioFixture studio;
    studio.start();
    CassetteShelf shelf(*studio);
    const auto& blanks = shelf.blanks();
    const char* captions[] = {"Blank C46 · 23 min/side", "Blank C60 · 30 min/side", "Blank C90 · 45 min/side",
                              "Blank C120 · 60 min/side"};
    const char* styles[] = {"chrome", "ferro", "smoke", "kraft"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(blanks[size_t(i)]->caption(), QString::fromUtf8(captions[i]));
        EXPECT_EQ(blanks[size_t(i)]->styleID(), styles[i]);
        EXPECT_TRUE(blanks[size_t(i)]->isEnabled());
    }
    EXPECT_EQ(blanks[2]->toolTip(), "Insert a blank C90 cassette");
    EXPECT_TRUE(shelf.openButton()->isEnabled());
    EXPECT_FALSE(shelf.designButton()->isEnabled());
    EXPECT_FALSE(shelf.saveButton()->isEnabled());

    blanks[3]->click();
    ASSERT_TRUE(studio->editor().document());
    EXPECT_EQ(studio->editor().document()->type.description(), "C120");
    EXPECT_TRUE(shelf.designButton()->isEnabled());
    EXPECT_TRUE(shelf.saveButton()->isEnabled());

    shelf.designButton()->click();
    EXPECT_TRUE(studio->showingDesigner());
    studio->setShowingDesigner(false);

    // Armed for recording: no saving from the shelf.
    studio->transport(TransportCommand::record);
    studio.tick();
    EXPECT_FALSE(shelf.saveButton()->isEnabled());
    studio->transport(TransportCommand::stop);
    studio.tick();
    EXPECT_TRUE(shelf.saveButton()->isEnabled());
}

TEST(CassetteShelf, TheBlanksAndActionsSitTogetherInTheMiddleOfTheShelf) {
    StudioFixture studio;
    CassetteShelf shelf(*studio);
    shelf.resize(1176, shelf.sizeHint().height());
    shelf.show();
    QApplication::processEvents();
    const auto& blanks = shelf.blanks();
    int actionsLeft = shelf.width(), actionsRight = 0;
    for (QPushButton* button : {shelf.openButton(), shelf.designButton(), shelf.saveButton()}) {
        actionsLeft = std::min(actionsLeft, button->geometry().left());
        actionsRight = std::max(actionsRight, button->geometry().right() + 1);
    }
    for (size_t i = 1; i < blanks.size(); ++i)
        EXPECT_EQ(blanks[i]->geometry().left() - blanks[i - 1]->geometry().right() - 1, 14) << i;
    // 14 between the last blank and the column of actions, the whole group centred.
    EXPECT_EQ(actionsLeft - blanks.back()->geometry().right() - 1, 14);
    EXPECT_NEAR(blanks.front()->geometry().left(), shelf.width() - actionsRight, 1);
    EXPECT_GT(blanks.front()->geometry().left(), 100);
}

TEST(CassetteShelf, ABlankAsksAboutUnsavedChangesAndCancelKeepsTheCassette) {
    StudioFixture studio;
    studio.start();
    CassetteShelf shelf(*studio);
    shelf.blanks()[1]->click();
    ASSERT_TRUE(studio->editor().document());
    const auto id = studio->editor().document()->id;
    studio->editor().updateDocument([](CassetteDocument& d) { d.name = "Mixtape"; });
    ASSERT_TRUE(studio->editor().metadataEdited());

    studio.ui.saveChoices.push_back(StudioUi::SaveChoice::cancel);
    shelf.blanks()[0]->click();
    EXPECT_EQ(studio.ui.prompts.size(), 1u);
    EXPECT_EQ(studio->editor().document()->id, id);

    studio.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    shelf.blanks()[0]->click();
    EXPECT_EQ(studio.ui.prompts.size(), 2u);
    EXPECT_NE(studio->editor().document()->id, id);
    EXPECT_EQ(studio->editor().document()->type.description(), "C46");
}

}  // namespace
}  // namespace norvo
