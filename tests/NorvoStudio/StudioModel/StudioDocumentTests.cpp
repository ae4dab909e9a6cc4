#include <QBuffer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

FileData png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return FileData(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

class StudioDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        f.start();
        f.insertBlank();
    }
    StudioFixture f;
};

TEST_F(StudioDocumentTest, AnEditThatChangesNothingPublishesNothing) {
    QSignalSpy documents(f.model.get(), &StudioModel::documentChanged);
    f->updateDocument([](CassetteDocument& d) { d.jcard.title = ""; });
    f->setDocumentLines("", [](CassetteDocument& d) -> std::vector<std::string>& { return d.jcard.sideBTracks; });
    f->setDesign(CassetteStyleCatalog::defaultStyle());
    f->removeArtwork(ArtworkRole::labelA);
    f->removeBookletPanel(0);
    EXPECT_EQ(documents.count(), 1);  // only the track list: empty text is one empty line
    EXPECT_EQ(f->document()->jcard.sideBTracks, std::vector<std::string>{""});
    EXPECT_TRUE(f->metadataEdited());

    f.insertBlank();
    documents.clear();
    f->updateDocument([](CassetteDocument& d) { d.jcard.title = ""; });
    EXPECT_EQ(documents.count(), 0);
    EXPECT_FALSE(f->metadataEdited());
    EXPECT_EQ(f->windowTitle(), "Untitled C60");
}

TEST_F(StudioDocumentTest, TheRecordTabCyclesAndProtectsOnlyWhenBroken) {
    const auto protectedA = [&] {
        f->transport(TransportCommand::stop);
        return f->live().snapshot().transport.cassette->protectedA;
    };
    f->advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->document()->sideA.writeProtect, WriteProtect::broken);
    EXPECT_TRUE(protectedA());
    EXPECT_TRUE(f->hasUnsavedChanges());
    f->advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->document()->sideA.writeProtect, WriteProtect::tapedOver);
    EXPECT_FALSE(protectedA());
    f->advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->document()->sideA.writeProtect, WriteProtect::broken);
    EXPECT_EQ(f->document()->history.back().type, "write_protect_changed");
}

struct TransparencyCase {
    double alpha;
    bool transparent;
    double expected;
};

class ShellTransparencyTest : public StudioDocumentTest, public ::testing::WithParamInterface<TransparencyCase> {};

TEST_P(ShellTransparencyTest, AlphaFollowsTheFlag) {
    f->updateDocument([](CassetteDocument& d) { d.design.shellColor.alpha = GetParam().alpha; });
    f->setShellTransparent(GetParam().transparent);
    EXPECT_EQ(f->document()->design.shellTransparent, GetParam().transparent);
    EXPECT_EQ(f->document()->design.shellColor.alpha, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellTransparencyTest,
                         ::testing::Values(TransparencyCase{0.3, true, 0.3}, TransparencyCase{1.0, true, 0.5},
                                           TransparencyCase{0.3, false, 1.0}));

TEST_F(StudioDocumentTest, ColoursAndLinesAreConvertedAsTheDesignerNeeds) {
    auto ink = [](CassetteDocument& d) -> RGBAColor& { return d.jcard.inkColor; };
    f->setDocumentColor(QColor::fromRgbF(0.25f, 0.5f, 1.0f, 0.75f), ink);
    EXPECT_NEAR(f->document()->jcard.inkColor.red, 0.25, 1e-3);
    EXPECT_NEAR(f->document()->jcard.inkColor.alpha, 0.75, 1e-3);
    f->setDocumentColor(QColor::fromHsv(0, 255, 255), ink);
    EXPECT_NEAR(f->document()->jcard.inkColor.red, 1.0, 1e-3);
    f->setDocumentColor(QColor(), ink);
    EXPECT_EQ(f->document()->jcard.inkColor, (RGBAColor{0, 0, 0, 1}));

    auto tracks = [](CassetteDocument& d) -> std::vector<std::string>& { return d.jcard.sideATracks; };
    f->setDocumentLines("One\nTwo\n", tracks);
    EXPECT_EQ(f->document()->jcard.sideATracks, (std::vector<std::string>{"One", "Two", ""}));
    f->setDocumentLines("A\n\nB", tracks);
    EXPECT_EQ(f->document()->jcard.sideATracks, (std::vector<std::string>{"A", "", "B"}));
}

TEST_F(StudioDocumentTest, ImagesAreRebuiltOnlyForThePartThatChanged) {
    QSignalSpy images(f.model.get(), &StudioModel::imagesChanged);
    QSignalSpy booklet(f.model.get(), &StudioModel::bookletImagesChanged);
    f->setArtwork(png(40, 20), ArtworkRole::labelA);
    f->setArtwork(FileData(std::string_view("not an image")), ArtworkRole::labelB);
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(f->images().size(), 1u);
    EXPECT_EQ(f->images().at(ArtworkRole::labelA).size(), QSize(40, 20));

    f->appendBookletPanel(png(10, 16));
    f->appendBookletPanel(png(20, 32));
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(booklet.count(), 2);
    ASSERT_EQ(f->bookletImages().size(), 2u);

    f->removeBookletPanel(5);  // a position that does not exist
    f->removeBookletPanel(-1);
    EXPECT_EQ(f->document()->bookletPanels.size(), 2u);
    f->removeBookletPanel(0);
    ASSERT_EQ(f->bookletImages().size(), 1u);
    EXPECT_EQ(f->bookletImages()[0].size(), QSize(20, 32));

    f->updateDocument([](CassetteDocument& d) { d.jcard.subtitle = "Texts only"; });
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(booklet.count(), 3);

    f->removeArtwork(ArtworkRole::labelA);
    EXPECT_TRUE(f->images().empty());
    f.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    f->eject();
    EXPECT_FALSE(f->document());
    EXPECT_TRUE(f->bookletImages().empty());
}

}  // namespace
}  // namespace norvo
