#include "Cassette/ArtworkRole.hpp"

#include <algorithm>
#include <cmath>

#include "Cassette/NorvoGeometry.hpp"
#include "Cassette/RawValueTable.hpp"

namespace norvo {

namespace {

using G = NorvoGeometry;

constexpr RawValueTable<ArtworkRole, 8> rawValues{{"cassette_face_a", "cassette_face_b", "label_a", "label_b",
                                                   "jcard_front", "jcard_spine", "jcard_flap", "thumbnail"}};
constexpr RawValueTable<ArtworkRole, 8> titles{{"Cassette shell, side A face", "Cassette shell, side B face",
                                                "Label, side A", "Label, side B", "J-card front cover", "J-card spine",
                                                "J-card back flap", "Thumbnail"}};

PixelSize scaled(ArtworkRole role, double pixelsPerMillimetre, int thumbnailSide) {
    const auto size = millimetreSize(role);
    if (!size) return {thumbnailSide, thumbnailSide};
    return {static_cast<int>(std::lround(size->width * pixelsPerMillimetre)),
            static_cast<int>(std::lround(size->height * pixelsPerMillimetre))};
}

}  // namespace

std::string_view rawValue(ArtworkRole role) { return rawValues.name(role); }

std::optional<ArtworkRole> artworkRoleFromRaw(std::string_view raw) { return rawValues.find(raw); }

std::string_view title(ArtworkRole role) { return titles.name(role); }

std::optional<MillimetreSize> millimetreSize(ArtworkRole role) {
    switch (role) {
    case ArtworkRole::cassetteFaceA:
    case ArtworkRole::cassetteFaceB: return MillimetreSize{G::Shell::width, G::Shell::height};
    case ArtworkRole::labelA:
    case ArtworkRole::labelB: return MillimetreSize{G::Label::width, G::Label::height};
    case ArtworkRole::jcardFront: return MillimetreSize{G::JCard::frontWidth, G::JCard::height};
    case ArtworkRole::jcardSpine: return MillimetreSize{G::JCard::spineWidth, G::JCard::height};
    case ArtworkRole::jcardFlap: return MillimetreSize{G::JCard::flapWidth, G::JCard::height};
    case ArtworkRole::thumbnail: return std::nullopt;
    }
    return std::nullopt;
}

PixelSize recommendedPixels(ArtworkRole role) { return scaled(role, 24, 1024); }

PixelSize minimumPixels(ArtworkRole role) { return scaled(role, 12, 256); }

ArtworkCheck check(ArtworkRole role, int width, int height) {
    const double actual = static_cast<double>(width) / static_cast<double>(std::max(height, 1));
    const auto size = millimetreSize(role);
    const double expected = size ? size->width / size->height : 1.0;
    // The extra 1e-9 keeps an image exactly 1 % off acceptable despite rounding in the division.
    if (std::fabs(actual / expected - 1.0) > 0.01 + 1e-9) return ArtworkCheck::wrongAspect(expected, actual);
    const PixelSize minimum = minimumPixels(role);
    if (minimum.width > width || minimum.height > height) return ArtworkCheck::tooSmall(minimum.width, minimum.height);
    return ArtworkCheck::ok();
}

}  // namespace norvo
