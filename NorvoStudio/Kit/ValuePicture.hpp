#pragma once
#include <QPainter>
#include <QRectF>
#include <functional>

#include "KeyedPicture.hpp"
#include "KitPicture.hpp"

namespace norvo {

// A KitPicture kept under the value it shows rather than under a text made of it: the drawing
// is made anew when the value differs (operator==) from the one it was made from, so every
// field of the value counts and none can be left out of the key.
template <class Value>
class ValuePicture {
public:
    void paint(QPainter& painter, const QRectF& bounds, const Value& value,
               const std::function<void(QPainter&)>& draw) {
        picture_.showing(value).paint(painter, bounds, QString(), draw);
    }

private:
    KeyedPicture<KitPicture, Value> picture_;
};

}  // namespace norvo
