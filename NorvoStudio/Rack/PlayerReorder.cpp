#include "PlayerReorder.hpp"

#include <algorithm>
#include <cmath>

namespace norvo {

std::size_t PlayerReorder::gap(double y, double rowHeight, std::size_t rows) {
    if (!(rowHeight > 0) || !(y > 0)) return 0;
    const double nearest = std::round(y / rowHeight);
    if (!(nearest < static_cast<double>(rows))) return rows;
    return static_cast<std::size_t>(nearest);
}

std::optional<PlayerReorder::Move> PlayerReorder::drop(const std::vector<SourceTrack>& tracks, std::size_t gap) {
    const std::optional<Uuid> dragged = track_;
    track_.reset();
    if (!dragged) return std::nullopt;
    const auto found =
        std::find_if(tracks.begin(), tracks.end(), [&](const SourceTrack& t) { return t.id == *dragged; });
    if (found == tracks.end()) return std::nullopt;
    const auto index = static_cast<std::size_t>(found - tracks.begin());
    gap = std::min(gap, tracks.size());
    // Dropping just above or just below itself leaves the order as it is.
    if (gap == index || gap == index + 1) return std::nullopt;
    return Move{{index}, gap};
}

}  // namespace norvo
