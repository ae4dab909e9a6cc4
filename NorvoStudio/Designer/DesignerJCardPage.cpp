#include "DesignerJCardPage.hpp"

#include <QHBoxLayout>

#include "CassetteDrawing/HandwritingFont.hpp"
#include "ColorWell.hpp"
#include "DesignerCassettePage.hpp"
#include "DesignerFormSection.hpp"
#include "DesignerPicker.hpp"
#include "DesignerTextEditor.hpp"
#include "DesignerTextField.hpp"
#include "StudioModel/DocumentEditor.hpp"

namespace norvo {

using View = CassetteDesignerView;

namespace {

QWidget* trailing(QWidget* control) {
    auto* holder = new QWidget;
    auto* line = new QHBoxLayout(holder);
    line->setContentsMargins(0, 0, 0, 0);
    line->addStretch(1);
    line->addWidget(control);
    return holder;
}

}  // namespace

DesignerJCardPage::DesignerJCardPage(DocumentEditor& editor, QWidget* parent) : DesignerForm(parent), editor_(editor) {
    setObjectName(QStringLiteral("jcardPage"));

    DesignerFormSection* front = addSection(tr("Front cover"));
    title_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.jcard.title; }));
    title_->setObjectName(QStringLiteral("jcardTitle"));
    front->addRow(tr("Title"), title_);
    subtitle_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.jcard.subtitle; }));
    subtitle_->setObjectName(QStringLiteral("jcardSubtitle"));
    front->addRow(tr("Subtitle"), subtitle_);
    lettering_ = new DesignerPicker(DesignerCassettePage::fontRoleTitles(),
                                    View::choiceBinding(
                                        editor_, allFontRoles, [](auto& d) -> auto& { return d.jcard.font; }));
    lettering_->setObjectName(QStringLiteral("lettering"));
    front->addRow(tr("Lettering"), lettering_);
    card_ = new ColorWell(View::colorBinding(
                              editor_, [](auto& d) -> auto& { return d.jcard.cardColor; }),
                          ColorWell::Alpha::hidden, tr("Card"));
    card_->setObjectName(QStringLiteral("cardColor"));
    front->addRow(tr("Card"), trailing(card_));
    ink_ = new ColorWell(View::colorBinding(
                             editor_, [](auto& d) -> auto& { return d.jcard.inkColor; }),
                         ColorWell::Alpha::hidden, tr("Ink"));
    ink_->setObjectName(QStringLiteral("jcardInkColor"));
    front->addRow(tr("Ink"), trailing(ink_));

    DesignerFormSection* spine =
        addSection(tr("Spine and flap"),
                   tr("The spine is what you read on the shelf: 12.7 \u00D7 101.6 mm, set top-to-bottom."));
    spine_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.jcard.spineText; }));
    spine_->setObjectName(QStringLiteral("spineText"));
    spine->addRow(tr("Spine"), spine_);
    flap_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.jcard.flapText; }));
    flap_->setObjectName(QStringLiteral("flapText"));
    spine->addRow(tr("Back flap"), flap_);

    const QFont listFont = HandwritingFont::system(12);
    DesignerFormSection* sideA =
        addSection(tr("Side A track list \u2014 one per line"), tr("Tracks you record are added here automatically."));
    sideATracks_ = new DesignerTextEditor(View::linesBinding(
                                              editor_, [](auto& d) -> auto& { return d.jcard.sideATracks; }),
                                          listFont, 80);
    sideATracks_->setObjectName(QStringLiteral("sideATracks"));
    sideA->addRow({}, sideATracks_);
    DesignerFormSection* sideB = addSection(tr("Side B track list \u2014 one per line"));
    sideBTracks_ = new DesignerTextEditor(View::linesBinding(
                                              editor_, [](auto& d) -> auto& { return d.jcard.sideBTracks; }),
                                          listFont, 80);
    sideBTracks_->setObjectName(QStringLiteral("sideBTracks"));
    sideB->addRow({}, sideBTracks_);

    // The dedication is written with a felt marker: the marker role's hand.
    DesignerFormSection* dedication = addSection(tr("Dedication"));
    dedication_ = new DesignerTextEditor(View::stringBinding(
                                             editor_, [](auto& d) -> auto& { return d.jcard.dedication; }),
                                         HandwritingFont::font(FontRole::marker, 13), 50);
    dedication_->setObjectName(QStringLiteral("dedication"));
    dedication->addRow({}, dedication_);
    refresh();
}

void DesignerJCardPage::refresh() {
    const auto& document = editor_.document();
    if (!document) return;
    const QString name = QString::fromStdString(document->name);
    title_->showPlaceholder(name);
    spine_->showPlaceholder(name.toUpper());
    for (DesignerTextField* field : {title_, subtitle_, spine_, flap_}) field->refresh();
    lettering_->refresh();
    card_->refresh();
    ink_->refresh();
    for (DesignerTextEditor* editor : {sideATracks_, sideBTracks_, dedication_}) editor->refresh();
}

}  // namespace norvo
