#include "DesignerPicker.hpp"

#include <QSignalBlocker>

#include "HandwritingFont.hpp"

namespace norvo {

DesignerPicker::DesignerPicker(const QStringList& titles, CassetteDesignerView::ChoiceBinding binding,
                               QWidget* parent)
    : QComboBox(parent), binding_(std::move(binding)) {
    setFont(HandwritingFont::system(13));
    addItems(titles);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    refresh();
    connect(this, &QComboBox::activated, this, [this](int index) { binding_.write(index); });
}

void DesignerPicker::refresh() {
    const int index = binding_.read();
    if (index == currentIndex()) return;
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
}

}  // namespace norvo
