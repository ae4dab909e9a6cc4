#include "DesignerForm.hpp"

#include <QVBoxLayout>

#include "DesignerFormSection.hpp"
#include "DesignerScrollBar.hpp"

namespace norvo {

DesignerForm::DesignerForm(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);  // Tab goes to the fields; the form scrolls to show them
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DesignerScrollBar::dress(verticalScrollBar(), DesignerScrollBar::Surface::light, scrollBarTrack);
    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("designerFormContent"));
    // As tall as its sections want: the area scrolls rather than squeezing the rows.
    content_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    sections_ = new QVBoxLayout(content_);
    // The bar's track is part of the right margin, so the rows are as wide with as without it.
    sections_->setContentsMargins(20, 12, 20 - scrollBarTrack, 20);
    sections_->setSpacing(18);
    sections_->addStretch(1);
    setWidget(content_);
}

void DesignerForm::resizeEvent(QResizeEvent* event) {
    content_->setFixedWidth(width() - scrollBarTrack);
    QScrollArea::resizeEvent(event);
}

DesignerFormSection* DesignerForm::addSection(const QString& header, const QString& footer) {
    auto* section = new DesignerFormSection(header, footer, content_);
    sections_->insertWidget(sections_->count() - 1, section);
    return section;
}

}  // namespace norvo
