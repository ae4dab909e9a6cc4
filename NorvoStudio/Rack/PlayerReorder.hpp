#pragma once
#include <cstddef>
#include <optional>
#include <set>
#include <vector>

#include "Platform/Uuid.hpp"
#include "SourcePlayer/SourceTrack.hpp"

namespace norvo {

// A row of the PROGRAM list dragged to a new place. The dragged track is held by its
// id, not its row, so the drag survives the list being rebuilt under it (lengths
// arriving, tracks added or removed meanwhile).
class PlayerReorder {
public:
    struct Move {
        std::set<std::size_t> fromOffsets;
        std::size_t toOffset = 0;
        bool operator==(const Move&) const = default;
    };

    void begin(const Uuid& track) { track_ = track; }
    void cancel() { track_.reset(); }
    bool active() const { return track_.has_value(); }
    const std::optional<Uuid>& track() const { return track_; }

    // The gap nearest to y in a list of `rows` rows `rowHeight` high: 0 above the first
    // row, `rows` below the last.
    static std::size_t gap(double y, double rowHeight, std::size_t rows);

    // The drop at `gap`: the engine's move for the list as it is now, or nothing when
    // the dragged track is gone or would land where it is. The drag ends either way.
    std::optional<Move> drop(const std::vector<SourceTrack>& tracks, std::size_t gap);

private:
    std::optional<Uuid> track_;
};

}  // namespace norvo
