#include "KnobDrag.hpp"

#include <algorithm>

namespace norvo {

double KnobDrag::changed(double currentValue, double translationY) {
    if (!dragStart_) dragStart_ = currentValue;
    // Each change counts from where the drag began, not from the previous change.
    return std::clamp(*dragStart_ + translationY / -travel, 0.0, 1.0);
}

}  // namespace norvo
