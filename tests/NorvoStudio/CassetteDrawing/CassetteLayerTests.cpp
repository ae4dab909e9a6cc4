#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <functional>

#include "AudioEngine/TapeClock.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "NorvoStudio/Support/ImageDifference.hpp"

namespace norvo {
namespace {

QImage drawn(const CassetteDocument& document, int64_t head, const std::map<ArtworkRole, QImage>& images,
             std::initializer_list<CassetteLayer> layers) {
    QImage image(QSize(502, 319), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (CassetteLayer layer : layers)
        renderCassette(painter, QSizeF(502, 502 / cassetteAspectRatio), document, TapeSide::a, head, images, layer);
    return image;
}

using test::largestDifference;

struct Case {
    const char* name;
    std::function<void(CassetteDocument&)> design;
    double seconds;  // head position on side A
    bool faceImage;
};

class CassetteLayers : public ::testing::TestWithParam<Case> {};

// A view may keep the cover and redraw only the reels as the tape runs: the two layers must
// add up to the whole picture, whatever shows through the openings.
TEST_P(CassetteLayers, ReelsThenCoverAreTheWholePicture) {
    const Case& c = GetParam();
    CassetteDocument document(CassetteType::c60(), "Layers", CassetteStyleCatalog::defaultStyle().design);
    document.sideA.title = "Side one";
    c.design(document);
    std::map<ArtworkRole, QImage> images;
    if (c.faceImage) {
        QImage face(QSize(300, 190), QImage::Format_ARGB32);
        face.fill(QColor(200, 30, 40));
        images[ArtworkRole::cassetteFaceA] = face;
    }
    const int64_t head = TapeClock::frames(c.seconds);
    const QImage whole = drawn(document, head, images, {CassetteLayer::whole});
    const QImage layered = drawn(document, head, images, {CassetteLayer::reels, CassetteLayer::cover});
    EXPECT_LE(largestDifference(whole, layered), 2);
    // Each layer alone is only part of it.
    EXPECT_GT(largestDifference(whole, drawn(document, head, images, {CassetteLayer::cover})), 40);
    EXPECT_GT(largestDifference(whole, drawn(document, head, images, {CassetteLayer::reels})), 40);
}

INSTANTIATE_TEST_SUITE_P(
    Designs, CassetteLayers,
    ::testing::Values(Case{"start", [](CassetteDocument&) {}, 0, false},
                      Case{"midway", [](CassetteDocument&) {}, 900, false},
                      Case{"translucent", [](CassetteDocument& d) { d.design.shellColor.alpha = 0.3; }, 600, false},
                      Case{"transparent", [](CassetteDocument& d) { d.design.shellTransparent = true; }, 1200, false},
                      Case{"face image", [](CassetteDocument&) {}, 300, true}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

}  // namespace
}  // namespace norvo
