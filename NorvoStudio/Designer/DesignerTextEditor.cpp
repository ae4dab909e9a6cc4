#include "DesignerTextEditor.hpp"

#include <QAbstractTextDocumentLayout>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace norvo {

DesignerTextEditor::DesignerTextEditor(CassetteDesignerView::TextBinding binding, const QFont& font, int minimumHeight,
                                       QWidget* parent)
    : QPlainTextEdit(parent), binding_(std::move(binding)), minimumHeight_(minimumHeight) {
    setFont(font);
    document()->setDefaultFont(font);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    updating_ = true;
    setPlainText(binding_.read());
    updating_ = false;
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!updating_ && !composition_.active()) writeIfChanged();
        fitHeight();
    });
    fitHeight();
}

QString DesignerTextEditor::text() const {
    QString raw = document()->toRawText();
    for (QChar& c : raw) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\n');
    }
    return raw;
}

void DesignerTextEditor::refresh() {
    if (composition_.holdsRefresh()) return;
    const QString value = binding_.read();
    if (value == text()) return;
    const QTextCursor old = textCursor();
    const int anchor = old.anchor();
    const int position = old.position();
    const int vertical = verticalScrollBar()->value();
    updating_ = true;
    setPlainText(value);
    updating_ = false;
    QTextCursor cursor(document());
    const int end = std::max(0, document()->characterCount() - 1);
    cursor.setPosition(std::min(anchor, end));
    cursor.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    verticalScrollBar()->setValue(vertical);
}

void DesignerTextEditor::inputMethodEvent(QInputMethodEvent* event) {
    const bool continues = composition_.note(*event);
    QPlainTextEdit::inputMethodEvent(event);
    if (!continues) endComposition();
}

void DesignerTextEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    endComposition();
}

void DesignerTextEditor::writeIfChanged() {
    // The editor also announces changes that leave the text as it was (a composition
    // starting, a format change); an empty list must not become one empty line by them.
    const QString typed = text();
    if (typed != binding_.read()) binding_.write(typed);
}

void DesignerTextEditor::endComposition() {
    if (!composition_.end()) return;
    writeIfChanged();
    if (composition_.refreshWaiting()) refresh();
}

void DesignerTextEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    fitHeight();
}

int DesignerTextEditor::contentHeight() const {
    // Lays the text out at the editor's width: the editor's own layout is lazy and
    // knows nothing of blocks it has not shown yet.
    const double margin = document()->documentMargin();
    const double width = std::max(20.0, viewport()->width() - 2 * margin);
    const QFontMetricsF metrics(font());
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int blockLines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++blockLines;
        }
        layout.endLayout();
        lines += std::max(1, blockLines);
    }
    const QMargins frame = contentsMargins();
    return int(std::ceil(lines * metrics.lineSpacing() + 2 * margin)) + frame.top() + frame.bottom();
}

void DesignerTextEditor::fitHeight() {
    const int height = std::max(minimumHeight_, contentHeight());
    if (height != this->height() || minimumHeight() != height) {
        setFixedHeight(height);
        updateGeometry();
    }
}

QSize DesignerTextEditor::sizeHint() const { return {200, std::max(minimumHeight_, contentHeight())}; }

QSize DesignerTextEditor::minimumSizeHint() const { return {60, minimumHeight_}; }

}  // namespace norvo
