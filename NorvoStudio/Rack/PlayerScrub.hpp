#pragma once
#include <cstdint>
#include <optional>

namespace norvo {

// The progress bar's scrub: the fill follows the pointer while it is down, and the
// seek happens once, on release. A lost release (grab lost, face hidden) only ends the
// scrub, so that a seek never lands where the user did not let go.
class PlayerScrub {
public:
    // Pointer down or moved at x on a bar `width` wide.
    void move(double x, double width);
    // Pointer up: the frame to seek to, if a scrub was in progress; the scrub ends.
    std::optional<int64_t> release(double total);
    void cancel() { value_.reset(); }

    const std::optional<double>& value() const { return value_; }

    // x / width within 0...1; not a number gives 0, a zero width 0 or 1 by x's sign.
    static double fraction(double x, double width);

private:
    std::optional<double> value_;
};

}  // namespace norvo
