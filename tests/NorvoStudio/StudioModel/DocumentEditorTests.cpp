#include <fstream>
#include <iterator>

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "NorvoStudio/Support/PngData.hpp"
#include "NorvoStudio/Support/StudioFixture.hpp"
#include "Support/Fifo.hpp"

namespace norvo {
namespace {

using test::StudioFixture;

FileData png(int width, int height) { return test::pngData(QSize(width, height), Qt::red); }

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
    f->editor().updateDocument([](CassetteDocument& d) { d.jcard.title = ""; });
    f->editor().setDocumentLines("",
                                 [](CassetteDocument& d) -> std::vector<std::string>& { return d.jcard.sideBTracks; });
    f->editor().setDesign(CassetteStyleCatalog::defaultStyle());
    f->editor().removeArtwork(ArtworkRole::labelA);
    f->editor().removeBookletPanel(0);
    EXPECT_EQ(documents.count(), 1);  // only the track list: empty text is one empty line
    EXPECT_EQ(f->editor().document()->jcard.sideBTracks, std::vector<std::string>{""});
    EXPECT_TRUE(f->editor().metadataEdited());

    f.insertBlank();
    documents.clear();
    f->editor().updateDocument([](CassetteDocument& d) { d.jcard.title = ""; });
    EXPECT_EQ(documents.count(), 0);
    EXPECT_FALSE(f->editor().metadataEdited());
    EXPECT_EQ(f->title().text(), "Untitled C60");
}

TEST_F(StudioDocumentTest, TheRecordTabCyclesAndProtectsOnlyWhenBroken) {
    const auto protectedA = [&] {
        f->transport(TransportCommand::stop);
        return f->live().snapshot().transport.cassette->protectedA;
    };
    f->editor().advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->editor().document()->sideA.writeProtect, WriteProtect::broken);
    EXPECT_TRUE(protectedA());
    EXPECT_TRUE(f->cassetteSlot().hasUnsavedChanges());
    f->editor().advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->editor().document()->sideA.writeProtect, WriteProtect::tapedOver);
    EXPECT_FALSE(protectedA());
    f->editor().advanceWriteProtect(TapeSide::a);
    EXPECT_EQ(f->editor().document()->sideA.writeProtect, WriteProtect::broken);
    EXPECT_EQ(f->editor().document()->history.back().type, "write_protect_changed");
}

struct TransparencyCase {
    double alpha;
    bool transparent;
    double expected;
};

class ShellTransparencyTest : public StudioDocumentTest, public ::testing::WithParamInterface<TransparencyCase> {};

TEST_P(ShellTransparencyTest, AlphaFollowsTheFlag) {
    f->editor().updateDocument([](CassetteDocument& d) { d.design.shellColor.alpha = GetParam().alpha; });
    f->editor().setShellTransparent(GetParam().transparent);
    EXPECT_EQ(f->editor().document()->design.shellTransparent, GetParam().transparent);
    EXPECT_EQ(f->editor().document()->design.shellColor.alpha, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellTransparencyTest,
                         ::testing::Values(TransparencyCase{0.3, true, 0.3}, TransparencyCase{1.0, true, 0.5},
                                           TransparencyCase{0.3, false, 1.0}));

TEST_F(StudioDocumentTest, ColoursAndLinesAreConvertedAsTheDesignerNeeds) {
    auto ink = [](CassetteDocument& d) -> RGBAColor& { return d.jcard.inkColor; };
    f->editor().setDocumentColor(QColor::fromRgbF(0.25f, 0.5f, 1.0f, 0.75f), ink);
    EXPECT_NEAR(f->editor().document()->jcard.inkColor.red, 0.25, 1e-3);
    EXPECT_NEAR(f->editor().document()->jcard.inkColor.alpha, 0.75, 1e-3);
    f->editor().setDocumentColor(QColor::fromHsv(0, 255, 255), ink);
    EXPECT_NEAR(f->editor().document()->jcard.inkColor.red, 1.0, 1e-3);
    f->editor().setDocumentColor(QColor(), ink);
    EXPECT_EQ(f->editor().document()->jcard.inkColor, (RGBAColor{0, 0, 0, 1}));

    auto tracks = [](CassetteDocument& d) -> std::vector<std::string>& { return d.jcard.sideATracks; };
    f->editor().setDocumentLines("One\nTwo\n", tracks);
    EXPECT_EQ(f->editor().document()->jcard.sideATracks, (std::vector<std::string>{"One", "Two", ""}));
    f->editor().setDocumentLines("A\n\nB", tracks);
    EXPECT_EQ(f->editor().document()->jcard.sideATracks, (std::vector<std::string>{"A", "", "B"}));
}

TEST_F(StudioDocumentTest, ImagesAreRebuiltOnlyForThePartThatChanged) {
    QSignalSpy images(f.model.get(), &StudioModel::imagesChanged);
    QSignalSpy booklet(f.model.get(), &StudioModel::bookletImagesChanged);
    f->editor().setArtwork(png(40, 20), ArtworkRole::labelA);
    f->editor().setArtwork(FileData(std::string_view("not an image")), ArtworkRole::labelB);
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(f->editor().images().size(), 1u);
    EXPECT_EQ(f->editor().images().at(ArtworkRole::labelA).size(), QSize(40, 20));

    f->editor().appendBookletPanel(png(10, 16));
    f->editor().appendBookletPanel(png(20, 32));
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(booklet.count(), 2);
    ASSERT_EQ(f->editor().bookletImages().size(), 2u);

    f->editor().removeBookletPanel(5);  // a position that does not exist
    f->editor().removeBookletPanel(-1);
    EXPECT_EQ(f->editor().document()->bookletPanels.size(), 2u);
    f->editor().removeBookletPanel(0);
    ASSERT_EQ(f->editor().bookletImages().size(), 1u);
    EXPECT_EQ(f->editor().bookletImages()[0].size(), QSize(20, 32));

    f->editor().updateDocument([](CassetteDocument& d) { d.jcard.subtitle = "Texts only"; });
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(booklet.count(), 3);

    f->editor().removeArtwork(ArtworkRole::labelA);
    EXPECT_TRUE(f->editor().images().empty());
    f.ui.saveChoices.push_back(StudioUi::SaveChoice::dontSave);
    f->cassetteSlot().eject();
    EXPECT_FALSE(f->editor().document());
    EXPECT_TRUE(f->editor().bookletImages().empty());
}

// MARK: - Artwork import

class StudioArtworkTest : public ::testing::Test {
protected:
    std::filesystem::path writeImage(const std::string& name, int width, int height, const char* format) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return writeBytes(name, bytes.toStdString());
    }
    std::filesystem::path writeBytes(const std::string& name, const std::string& bytes) {
        const auto path = f.directory / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string readFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Runs the import with `file` chosen; the data handed over, if any.
    std::optional<std::string> choose(std::optional<ArtworkRole> role, const std::filesystem::path& file) {
        f.ui.openAnswers.push_back({file});
        std::optional<std::string> accepted;
        int calls = 0;
        f->editor().chooseArtwork(role, [&](const FileData& data) {
            accepted = std::string(data.text());
            ++calls;
        });
        EXPECT_LE(calls, 1);
        return accepted;
    }

    StudioFixture f;
};

TEST_F(StudioArtworkTest, ThePanelNamesTheSlotWithItsSizes) {
    f->editor().chooseArtwork(ArtworkRole::jcardSpine, [](const FileData&) {});
    f->editor().chooseArtwork(std::nullopt, [](const FileData&) {});
    ASSERT_EQ(f.ui.openPanels.size(), 2u);
    EXPECT_EQ(f.ui.openPanels[0].message,
              "J-card spine: 12.7 \u00D7 101.6 mm \u2014 305 \u00D7 2438 px recommended (PNG or JPEG, sRGB)");
    EXPECT_EQ(f.ui.openPanels[1].message,
              "Booklet panel: 63.5 \u00D7 101.6 mm \u2014 1524 \u00D7 2438 px recommended (PNG or JPEG, sRGB)");
    EXPECT_FALSE(f->alerts().shown());
}

TEST_F(StudioArtworkTest, TheThreeOutcomesOfTheSizeCheck) {
    const auto fits = writeImage("face \xe9t\xe9.png", 2410, 1531, "PNG");  // a Latin-1 name: read by its bytes
    EXPECT_EQ(choose(ArtworkRole::cassetteFaceA, fits), readFile(fits));
    EXPECT_FALSE(f->alerts().shown());

    const auto small = writeImage("small.png", 1000, 636, "PNG");
    EXPECT_EQ(choose(ArtworkRole::cassetteFaceA, small), readFile(small));
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Image is small");
    EXPECT_EQ(f->alerts().shown()->message,
              "It was added, but it is below the NORVO minimum of 1205 \u00D7 766 px and may look soft.");

    f->alerts().dismiss();
    EXPECT_FALSE(choose(std::nullopt, writeImage("square.png", 800, 800, "PNG")));
    ASSERT_TRUE(f->alerts().shown());
    EXPECT_EQ(f->alerts().shown()->title, "Wrong proportions");
    EXPECT_TRUE(f->alerts().shown()->message.startsWith(
        "This slot needs an aspect ratio of 0.625 (width \u00F7 height); the image is 1.000. NORVO artwork must "
        "match the physical size \u2014 see "));
}

std::string hugePng();  // a valid PNG too large to decode

TEST_F(StudioArtworkTest, OtherFormatsAreReencodedAsPngAndUnusableFilesArePassedOver) {
    auto bmp = choose(ArtworkRole::jcardFront, writeImage("front.bmp", 1524, 2438, "BMP"));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->substr(0, 4), "\x89PNG");
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(*bmp)).size(), QSize(1524, 2438));
    EXPECT_FALSE(f->alerts().shown());

    // Not an image, gone, or too large to decode: no alert, nothing stored, memory kept.
    for (const auto& file :
         {writeBytes("junk.png", "not an image"), f.directory / "missing.png", writeBytes("huge.png", hugePng())}) {
        EXPECT_FALSE(choose(ArtworkRole::labelA, file)) << file;
        EXPECT_FALSE(f->alerts().shown()) << file;
    }
    // Nor a FIFO, which nobody writes to: passed over at once, not waited on for ever.
    const test::Fifo fifo(f.directory / "fifo.png");
    std::optional<std::string> taken;
    EXPECT_TRUE(fifo.returnsPromptly([&] { taken = choose(ArtworkRole::labelA, fifo.path()); }));
    EXPECT_FALSE(taken);
    EXPECT_FALSE(f->alerts().shown());
}

// A JPEG with an APP1 segment whose orientation (6) turns the stored image a quarter.
std::string withOrientation(const std::string& jpeg, uint8_t orientation) {
    const std::string app1 = std::string("\xFF\xE1\x00\x22"
                                         "Exif\x00\x00"
                                         "II\x2A\x00\x08\x00\x00\x00"
                                         "\x01\x00"
                                         "\x12\x01\x03\x00\x01\x00\x00\x00",
                                         28) +
                             std::string(1, char(orientation)) + std::string("\x00\x00\x00\x00\x00\x00\x00", 7);
    return jpeg.substr(0, 2) + app1 + jpeg.substr(2);
}

TEST_F(StudioArtworkTest, APhotoStoredSidewaysIsCheckedAsDisplayedAndKeptByteForByte) {
    const auto stored = writeImage("stored.jpg", 1531, 2410, "JPEG");
    const auto turned = writeBytes("turned.jpg", withOrientation(readFile(stored), 6));
    const auto accepted = choose(ArtworkRole::cassetteFaceA, turned);
    EXPECT_FALSE(f->alerts().shown()) << f->alerts().shown()->title.toStdString();
    EXPECT_EQ(accepted, readFile(turned));

    // The deck shows it upright too.
    f.insertBlank();
    f->editor().setArtwork(FileData(*accepted), ArtworkRole::cassetteFaceA);
    EXPECT_EQ(f->editor().images().at(ArtworkRole::cassetteFaceA).size(), QSize(2410, 1531));
}

// A PNG header announcing 30000 x 30000 grey pixels, with a few rows of data.
std::string hugePng() {
    auto crc = [](const std::string& bytes) {
        uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(uint32_t(data.size())) + type + data + be32(crc(type + data));
    };
    const uint32_t side = 30000;
    const std::string ihdr = be32(side) + be32(side) + std::string("\x08\x00\x00\x00\x00", 5);
    // zlib with one stored block of 16 zero rows; the rest of the image is missing.
    const std::string raw(16 * (side + 1), '\0');
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    std::string z = "\x78\x01";
    for (std::size_t at = 0; at < raw.size(); at += 65535) {
        const uint16_t len = uint16_t(std::min<std::size_t>(65535, raw.size() - at));
        z += char(at + len >= raw.size() ? 1 : 0);
        z += char(len & 0xFF);
        z += char(len >> 8);
        z += char(~len & 0xFF);
        z += char((~len >> 8) & 0xFF);
        z += raw.substr(at, len);
    }
    z += be32((b << 16) | a);
    return std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", z) + chunk("IEND", "");
}

}  // namespace
}  // namespace norvo
