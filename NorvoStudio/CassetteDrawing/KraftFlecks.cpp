#include "KraftFlecks.hpp"

#include "Kit/XorShiftRandom.hpp"

namespace norvo {

std::vector<QRectF> KraftFlecks::layout(const QRectF& label) {
    XorShiftRandom random(seed);
    std::vector<QRectF> flecks;
    flecks.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double x = random.draw(label.left(), label.right());
        const double y = random.draw(label.top(), label.bottom());
        const double w = random.draw(0.6, 2.4);
        flecks.emplace_back(x, y, w, height);
    }
    return flecks;
}

}  // namespace norvo
