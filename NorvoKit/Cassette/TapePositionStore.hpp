#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "AudioEngine/TapeSide.hpp"
#include "Platform/Clock.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/Uuid.hpp"

namespace norvo {

// Where each cassette was left in the deck, kept in the user's settings under
// "NorvoStudio.position." + the cassette's UUID.
class TapePositionStore {
public:
    struct Position {
        TapeSide side = TapeSide::a;
        int64_t head = 0;
        Date savedAt{};

        bool operator==(const Position&) const = default;
    };

    explicit TapePositionStore(DefaultsStore& defaults) : defaults_(defaults) {}

    static std::string key(const Uuid& cassetteID);

    // Replaces an earlier position of the cassette.
    void save(const Position& position, const Uuid& cassetteID);
    // Nothing when none is stored or what is stored cannot be decoded.
    std::optional<Position> load(const Uuid& cassetteID) const;

private:
    DefaultsStore& defaults_;
};

}  // namespace norvo
