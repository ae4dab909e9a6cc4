#pragma once

namespace norvo {

// Haptic feedback of the keys and the knob. Linux desktops have no haptic trackpads to
// drive, so the application's performer does nothing; tests count the taps.
class Haptics {
public:
    virtual ~Haptics() = default;
    // A store by holding a preset key.
    virtual void levelChange() {}
    // A detent of the tuning knob turned by dragging.
    virtual void alignment() {}
};

}  // namespace norvo
