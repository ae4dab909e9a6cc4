#include "NorvoStudioApp/OpeningSize.hpp"

#include <algorithm>

namespace norvo {

QSize OpeningSize::fitted() const {
    const QSize wanted = saved && !saved->isEmpty() ? *saved : preferred;
    // Without a screen to go by, what is wanted.
    const QSize room = available.isEmpty() ? wanted : available.shrunkBy(frame);
    // The least size wins over the screen: a window smaller than that would cut the rack.
    return QSize(std::max(std::min(wanted.width(), room.width()), minimum.width()),
                 std::max(std::min(wanted.height(), room.height()), minimum.height()));
}

}  // namespace norvo
