#pragma once

namespace norvo {

// Once, from a thread that renders audio, before its first render: real-time priority
// where the system grants it (where it does not, the thread keeps its normal priority),
// and the stack the render will use touched, so that no render takes a page fault on
// it. The locks the render takes inherit priority, so no holder of normal priority can
// stall it for long.
void prepareRealTimeThread();

}  // namespace norvo
