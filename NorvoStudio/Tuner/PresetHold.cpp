#include "Tuner/PresetHold.hpp"

namespace norvo {

PresetHold::PresetHold(MainExecutor& executor, std::function<void()> onTap, std::function<void()> onHold)
    : executor_(executor), onTap_(std::move(onTap)), onHold_(std::move(onHold)) {}

PresetHold::~PresetHold() {
    if (holdTask_) holdTask_->cancel();
}

void PresetHold::press() {
    if (held_) return;
    held_ = true;
    stored_ = false;
    if (holdTask_) holdTask_->cancel();
    // The handle is checked once when the timer fires, so a release before then wins.
    holdTask_ = executor_.postAfter(holdSeconds, [this] {
        stored_ = true;
        onHold_();
    });
}

void PresetHold::release() {
    if (!held_) return;
    held_ = false;
    if (holdTask_) holdTask_->cancel();
    if (!stored_) onTap_();
}

void PresetHold::cancel() {
    if (!held_) return;
    held_ = false;
    if (holdTask_) holdTask_->cancel();
}

}  // namespace norvo
