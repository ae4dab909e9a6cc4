#pragma once
#include <array>
#include <optional>
#include <string_view>

#include "Cassette/ArtworkCheck.hpp"

namespace norvo {

// The artwork slots of a cassette; the key of the document's artwork map.
enum class ArtworkRole { cassetteFaceA, cassetteFaceB, labelA, labelB, jcardFront, jcardSpine, jcardFlap, thumbnail };

inline constexpr std::array<ArtworkRole, 8> allArtworkRoles{
    ArtworkRole::cassetteFaceA, ArtworkRole::cassetteFaceB, ArtworkRole::labelA,    ArtworkRole::labelB,
    ArtworkRole::jcardFront,    ArtworkRole::jcardSpine,    ArtworkRole::jcardFlap, ArtworkRole::thumbnail};

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

struct MillimetreSize {
    double width = 0;
    double height = 0;
    bool operator==(const MillimetreSize&) const = default;
};

// "cassette_face_a", ... "thumbnail": the manifest key and the entry's file name.
std::string_view rawValue(ArtworkRole role);
std::optional<ArtworkRole> artworkRoleFromRaw(std::string_view raw);
// "Cassette shell, side A face", ... "Thumbnail".
std::string_view title(ArtworkRole role);
// The printed size of the slot; the thumbnail has none (it is square, any size).
std::optional<MillimetreSize> millimetreSize(ArtworkRole role);
// 24 pixels per millimetre, halves rounded away from zero; 1024 x 1024 for the thumbnail.
PixelSize recommendedPixels(ArtworkRole role);
// 12 pixels per millimetre; 256 x 256 for the thumbnail.
PixelSize minimumPixels(ArtworkRole role);
// The aspect first (1 % tolerance), then the minimum size.
ArtworkCheck check(ArtworkRole role, int width, int height);

}  // namespace norvo
