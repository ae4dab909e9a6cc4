#pragma once

namespace norvo {

enum class TransportCommand { play, stop, record, beginFastForward, beginRewind, endWind, flip };

}  // namespace norvo
