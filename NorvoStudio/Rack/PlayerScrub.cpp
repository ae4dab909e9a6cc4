#include "PlayerScrub.hpp"

#include <algorithm>
#include <cmath>

namespace norvo {

double PlayerScrub::fraction(double x, double width) {
    const double q = x / width;
    if (std::isnan(q)) return 0.0;
    return std::clamp(q, 0.0, 1.0);
}

void PlayerScrub::move(double x, double width) { value_ = fraction(x, width); }

std::optional<int64_t> PlayerScrub::release(double total) {
    std::optional<int64_t> frame;
    if (value_) {
        const double target = *value_ * total;
        if (std::isfinite(target)) frame = static_cast<int64_t>(target);
    }
    value_.reset();
    return frame;
}

}  // namespace norvo
