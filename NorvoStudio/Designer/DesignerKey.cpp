#include "DesignerKey.hpp"

#include <algorithm>

namespace norvo {

DesignerKey::DesignerKey(const QString& title, QWidget* parent) : QPushButton(title, parent) { setAutoDefault(false); }

QSize DesignerKey::sizeHint() const {
    QSize size = QPushButton::sizeHint();
    size.setWidth(std::max(size.width(), fontMetrics().horizontalAdvance(text()) + 2 * titlePadding));
    return size;
}

QSize DesignerKey::minimumSizeHint() const { return sizeHint(); }

}  // namespace norvo
