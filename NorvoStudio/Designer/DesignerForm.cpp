#include "DesignerForm.hpp"

#include <QVBoxLayout>

#include "DesignerFormSection.hpp"

namespace norvo {

DesignerForm::DesignerForm(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);  // Tab goes to the fields; the form scrolls to show them
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("designerFormContent"));
    // As tall as its sections want: the area scrolls rather than squeezing the rows.
    content_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    sections_ = new QVBoxLayout(content_);
    sections_->setContentsMargins(20, 12, 20, 20);
    sections_->setSpacing(18);
    sections_->addStretch(1);
    setWidget(content_);
}

DesignerFormSection* DesignerForm::addSection(const QString& header, const QString& footer) {
    auto* section = new DesignerFormSection(header, footer, content_);
    sections_->insertWidget(sections_->count() - 1, section);
    return section;
}

}  // namespace norvo
