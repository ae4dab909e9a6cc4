#include "HoldKeyGesture.hpp"

namespace norvo {

void HoldKeyGesture::pointerChanged() {
    if (state_ != State::idle) return;
    // Held before the callback runs, so a release forced from inside it still pairs up.
    state_ = State::held;
    if (onPress_) onPress_();
}

void HoldKeyGesture::pointerEnded() {
    const bool wasHeld = state_ == State::held;
    state_ = State::idle;
    if (wasHeld && onRelease_) onRelease_();
}

void HoldKeyGesture::cancel() {
    if (state_ != State::held) return;
    state_ = State::cancelled;
    if (onRelease_) onRelease_();
}

}  // namespace norvo
