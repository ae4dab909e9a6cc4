#include "DesignerTextField.hpp"

#include <QInputMethodEvent>
#include <algorithm>

#include "CassetteDrawing/HandwritingFont.hpp"

namespace norvo {

DesignerTextField::DesignerTextField(CassetteDesignerView::TextBinding binding, QWidget* parent)
    : QLineEdit(parent), binding_(std::move(binding)) {
    setFont(HandwritingFont::system(13));
    setText(binding_.read());
    setCursorPosition(0);
    // textEdited comes from the user only: refreshing from the model writes nothing back.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { binding_.write(text); });
}

void DesignerTextField::refresh() {
    if (composition_.holdsRefresh()) return;
    const QString value = binding_.read();
    if (value == text()) return;
    const int caret = cursorPosition();
    setText(value);
    setCursorPosition(std::min(caret, int(value.size())));
}

void DesignerTextField::showPlaceholder(const QString& text) {
    if (placeholderText() != text) setPlaceholderText(text);
}

void DesignerTextField::inputMethodEvent(QInputMethodEvent* event) {
    const bool continues = composition_.note(*event);
    QLineEdit::inputMethodEvent(event);
    if (!continues) endComposition();
}

void DesignerTextField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Leaving the field commits or drops the composition.
    endComposition();
}

void DesignerTextField::endComposition() {
    if (!composition_.end()) return;
    if (composition_.refreshWaiting()) refresh();
}

}  // namespace norvo
