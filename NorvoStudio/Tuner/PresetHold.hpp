#pragma once
#include <functional>
#include <optional>

#include "Platform/MainExecutor.hpp"

namespace norvo {

// The preset key's press: a release before 1.1 s is a tap; holding 1.1 s stores at
// that moment, and the release after it does nothing. A press that ends without a
// release (the window loses the mouse, the key is hidden) does neither.
class PresetHold {
public:
    static constexpr double holdSeconds = 1.1;

    PresetHold(MainExecutor& executor, std::function<void()> onTap, std::function<void()> onHold);
    ~PresetHold();
    PresetHold(const PresetHold&) = delete;
    PresetHold& operator=(const PresetHold&) = delete;

    // Repeated presses of one press (pointer moves) are ignored.
    void press();
    void release();
    void cancel();

    bool held() const { return held_; }
    bool stored() const { return stored_; }

private:
    MainExecutor& executor_;
    std::function<void()> onTap_;
    std::function<void()> onHold_;
    bool held_ = false;
    bool stored_ = false;
    std::optional<CancelHandle> holdTask_;
};

}  // namespace norvo
