#include "DesignerPicker.hpp"

#include <QSignalBlocker>
#include <QWheelEvent>

#include "CassetteDrawing/HandwritingFont.hpp"

namespace norvo {

DesignerPicker::DesignerPicker(const QStringList& titles, CassetteDesignerView::ChoiceBinding binding, QWidget* parent)
    : QComboBox(parent), binding_(std::move(binding)) {
    setFont(HandwritingFont::system(13));
    addItems(titles);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setFocusPolicy(Qt::StrongFocus);  // a passing wheel does not take the keyboard
    refresh();
    connect(this, &QComboBox::activated, this, [this](int index) { binding_.write(index); });
}

void DesignerPicker::refresh() {
    const int index = binding_.read();
    if (index == currentIndex()) return;
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
}

void DesignerPicker::wheelEvent(QWheelEvent* event) {
    if (hasFocus()) QComboBox::wheelEvent(event);
    else event->ignore();  // the form behind scrolls instead
}

}  // namespace norvo
