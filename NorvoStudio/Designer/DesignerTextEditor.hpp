#pragma once
#include <QPlainTextEdit>

#include "Designer/CassetteDesignerView.hpp"
#include "Designer/TextComposition.hpp"

namespace norvo {

// A multi-line text editor bound to a text of the document (or, through linesBinding,
// to a list of lines). Writes every change at once; refresh() shows the document's text
// only when it differs, keeps the caret and waits while an input method is composing.
// Tab moves the focus on instead of typing a tab. Grows with its text from `minimumHeight`.
class DesignerTextEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    DesignerTextEditor(CassetteDesignerView::TextBinding binding, const QFont& font, int minimumHeight,
                       QWidget* parent = nullptr);

    void refresh();
    // The text as typed: line feeds between lines, non-breaking spaces kept (plain-text
    // export would turn them into spaces).
    QString text() const;
    bool composing() const { return composition_.active(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void endComposition();
    void writeIfChanged();
    void fitHeight();
    int contentHeight() const;

    CassetteDesignerView::TextBinding binding_;
    int minimumHeight_;
    bool updating_ = false;
    TextComposition composition_;
};

}  // namespace norvo
