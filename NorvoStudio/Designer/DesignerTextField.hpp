#pragma once
#include <QLineEdit>

#include "Designer/CassetteDesignerView.hpp"
#include "Designer/TextComposition.hpp"

namespace norvo {

// A single-line text field bound to a text of the document: every edit is written at
// once; refresh() shows the document's text only when it differs from the field's,
// keeps the caret where it was and waits while an input method is composing.
class DesignerTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit DesignerTextField(CassetteDesignerView::TextBinding binding, QWidget* parent = nullptr);

    void refresh();
    // Changes the placeholder only when it differs (it follows the cassette's name).
    void showPlaceholder(const QString& text);
    bool composing() const { return composition_.active(); }

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void endComposition();

    CassetteDesignerView::TextBinding binding_;
    TextComposition composition_;
};

}  // namespace norvo
