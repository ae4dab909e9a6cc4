#pragma once
#include <functional>

namespace norvo {

// The press/release bookkeeping of a key that acts while held: every press is followed by
// exactly one release, also when the pointer-up is lost (window deactivated, key hidden or
// disabled, mouse grab taken away). After such a loss the rest of that pointer sequence is
// ignored, so a late move or pointer-up neither presses nor releases again.
class HoldKeyGesture {
public:
    HoldKeyGesture() = default;
    HoldKeyGesture(std::function<void()> onPress, std::function<void()> onRelease)
        : onPress_(std::move(onPress)), onRelease_(std::move(onRelease)) {}

    void setOnPress(std::function<void()> f) { onPress_ = std::move(f); }
    void setOnRelease(std::function<void()> f) { onRelease_ = std::move(f); }

    bool held() const { return state_ == State::held; }

    // The pointer went down on the key, or moved while down: presses once per sequence.
    void pointerChanged();
    // The pointer went up, wherever it is: releases once.
    void pointerEnded();
    // The pointer-up will not come (focus lost, hidden, disabled, grab lost): releases if held.
    void cancel();

private:
    enum class State { idle, held, cancelled };
    State state_ = State::idle;
    std::function<void()> onPress_;
    std::function<void()> onRelease_;
};

}  // namespace norvo
