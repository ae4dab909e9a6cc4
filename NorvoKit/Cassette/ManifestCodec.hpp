#pragma once
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/ManifestLayout.hpp"
#include "Platform/Clock.hpp"
#include "Platform/JSONValue.hpp"

namespace norvo {

// The manifest of a cassette container: the document in snake_case JSON plus the
// layout of the container's entries. Keys it does not know survive a read and a write.
struct ManifestCodec {
    static constexpr const char* format = "NORVO";
    static constexpr const char* formatVersion = "1.0";

    struct Decoded {
        CassetteDocument document;  // without artwork and booklet bytes
        ManifestLayout layout;
    };

    static JSONValue encode(const CassetteDocument& document, const ManifestLayout& layout);
    // Throws CassetteFileError (notCassette, newerVersion, manifestDamaged). Lenient
    // where nothing is lost: a bad colour, text, date or enum value takes its default,
    // a marker outside the side is dropped. `now` stands in for a missing date.
    static Decoded decode(const JSONValue& manifest, Date now);
};

}  // namespace norvo
