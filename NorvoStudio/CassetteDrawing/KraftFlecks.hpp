#pragma once
#include <QRectF>
#include <vector>

namespace norvo {

// The fibre flecks of a kraft label: the same 500 rectangles on every pass and every
// cassette, spread over the label but sized in pixels (they do not scale).
struct KraftFlecks {
    static constexpr int count = 500;
    static constexpr unsigned long long seed = 0xDAA66D2C7DDF743FULL;
    static constexpr double height = 0.6;  // px

    // The flecks, in order, for a label rectangle given in pixels.
    static std::vector<QRectF> layout(const QRectF& label);
};

}  // namespace norvo
