#include "DesignerCassettePage.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteLabel.hpp"
#include "CassetteDrawing/HandwritingFont.hpp"
#include "ColorWell.hpp"
#include "DesignerFormSection.hpp"
#include "DesignerKey.hpp"
#include "DesignerPicker.hpp"
#include "DesignerStyleSwatch.hpp"
#include "DesignerTextField.hpp"
#include "StudioModel/DocumentEditor.hpp"

namespace norvo {

using View = CassetteDesignerView;

QStringList DesignerCassettePage::fontRoleTitles() {
    QStringList titles;
    for (FontRole role : allFontRoles) {
        QString raw = QString::fromLatin1(rawValue(role).data(), qsizetype(rawValue(role).size()));
        titles << raw.left(1).toUpper() + raw.mid(1).toLower();
    }
    return titles;
}

QString DesignerCassettePage::labelStyleTitle(LabelStyle style) {
    switch (style) {
    case LabelStyle::ruled: return tr("Ruled");
    case LabelStyle::stripes: return tr("Stripes");
    case LabelStyle::kraft: return tr("Kraft paper");
    case LabelStyle::gradient: return tr("Sunset band");
    case LabelStyle::plain: return tr("Plain");
    }
    return {};
}

QString DesignerCassettePage::stateText(WriteProtect state) {
    switch (state) {
    case WriteProtect::intact: return tr("Tab intact");
    case WriteProtect::broken: return tr("Tab broken off");
    case WriteProtect::tapedOver: return tr("Taped over");
    }
    return {};
}

QString DesignerCassettePage::tabKeyTitle(WriteProtect state) {
    switch (state) {
    case WriteProtect::intact: return tr("Break off record tab");
    case WriteProtect::broken: return tr("Cover tab hole with tape");
    case WriteProtect::tapedOver: return tr("Remove the tape");
    }
    return {};
}

DesignerCassettePage::DesignerCassettePage(DocumentEditor& editor, QWidget* parent)
    : DesignerForm(parent), editor_(editor) {
    setObjectName(QStringLiteral("cassettePage"));

    // Style
    DesignerFormSection* style = addSection(tr("Style"));
    auto* grid = new QWidget;
    auto* cells = new QGridLayout(grid);
    cells->setContentsMargins(10, 10, 10, 10);
    cells->setSpacing(10);
    int index = 0;
    for (const CassetteStyle& s : CassetteStyleCatalog::all()) {
        auto* swatch = new DesignerStyleSwatch(s, grid);
        swatch->setObjectName(QStringLiteral("swatch-") + QString::fromStdString(s.id));
        connect(swatch, &QAbstractButton::clicked, this, [this, s] { editor_.setDesign(s); });
        cells->addWidget(swatch, index / 4, index % 4, Qt::AlignTop);
        swatches_.push_back(swatch);
        ++index;
    }
    for (int c = 0; c < 4; ++c) cells->setColumnStretch(c, 1);
    style->addWidgetRow(grid);

    // Label lettering
    DesignerFormSection* lettering = addSection(tr("Label lettering"));
    title_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.name; }));
    title_->setObjectName(QStringLiteral("cassetteTitle"));
    lettering->addRow(tr("Cassette title"), title_);
    sideATitle_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.sideA.title; }));
    sideATitle_->setObjectName(QStringLiteral("sideATitle"));
    lettering->addRow(tr("Side A title"), sideATitle_);
    sideBTitle_ = new DesignerTextField(View::stringBinding(
        editor_, [](auto& d) -> auto& { return d.sideB.title; }));
    sideBTitle_->setObjectName(QStringLiteral("sideBTitle"));
    lettering->addRow(tr("Side B title"), sideBTitle_);
    handwriting_ = new DesignerPicker(fontRoleTitles(),
                                      View::choiceBinding(
                                          editor_, allFontRoles, [](auto& d) -> auto& { return d.design.labelFont; }));
    handwriting_->setObjectName(QStringLiteral("handwriting"));
    lettering->addRow(tr("Handwriting"), handwriting_);

    // Label paper
    DesignerFormSection* paper = addSection(tr("Label paper"));
    QStringList styles;
    for (LabelStyle s : allLabelStyles) styles << labelStyleTitle(s);
    paperStyle_ =
        new DesignerPicker(styles, View::choiceBinding(
                                       editor_, allLabelStyles, [](auto& d) -> auto& { return d.design.labelStyle; }));
    paperStyle_->setObjectName(QStringLiteral("labelStyle"));
    paper->addRow(tr("Style"), paperStyle_);
    auto well = [&](DesignerFormSection* section, const QString& label, const char* name, ColorWell*& slot,
                    View::ColorBinding binding, ColorWell::Alpha alpha) {
        slot = new ColorWell(std::move(binding), alpha, label);
        slot->setObjectName(QString::fromLatin1(name));
        auto* holder = new QWidget;
        auto* line = new QHBoxLayout(holder);
        line->setContentsMargins(0, 0, 0, 0);
        line->addStretch(1);
        line->addWidget(slot);
        section->addRow(label, holder);
    };
    well(paper, tr("Paper"), "paperColor", paper_,
         View::colorBinding(
             editor_, [](auto& d) -> auto& { return d.design.labelColor; }),
         ColorWell::Alpha::hidden);
    well(paper, tr("Ink"), "inkColor", ink_,
         View::colorBinding(
             editor_, [](auto& d) -> auto& { return d.design.inkColor; }),
         ColorWell::Alpha::hidden);
    well(paper, tr("Accent"), "accentColor", accent_,
         View::colorBinding(
             editor_, [](auto& d) -> auto& { return d.design.accentColor; }),
         ColorWell::Alpha::hidden);

    // Shell
    DesignerFormSection* shell = addSection(tr("Shell"));
    well(shell, tr("Plastic"), "shellColor", plastic_,
         View::colorBinding(
             editor_, [](auto& d) -> auto& { return d.design.shellColor; }),
         ColorWell::Alpha::shown);
    transparent_ = new QCheckBox;
    transparent_->setObjectName(QStringLiteral("transparentShell"));
    transparent_->setAccessibleName(tr("Transparent shell"));
    connect(transparent_, &QCheckBox::clicked, this, [this](bool on) { editor_.setShellTransparent(on); });
    auto* switchHolder = new QWidget;
    auto* switchLine = new QHBoxLayout(switchHolder);
    switchLine->setContentsMargins(0, 0, 0, 0);
    switchLine->addStretch(1);
    switchLine->addWidget(transparent_);
    shell->addRow(tr("Transparent shell"), switchHolder);

    // Record tabs
    DesignerFormSection* tabs =
        addSection(tr("Record tabs"),
                   tr("A broken tab stops the deck from recording that side. It can't be undone \u2014 only covered "
                      "with tape, like on a real cassette. Every change is written to the cassette's history."));
    for (TapeSide side : {TapeSide::a, TapeSide::b}) {
        TabRow& row = tabs_[std::size_t(side)];
        auto* content = new QWidget;
        auto* line = new QHBoxLayout(content);
        line->setContentsMargins(0, 0, 0, 0);
        line->addStretch(1);
        row.state = DesignerFormSection::bodyLabel({}, content);
        line->addWidget(row.state);
        row.key = new DesignerKey({}, content);
        row.key->setObjectName(side == TapeSide::a ? QStringLiteral("tabKeyA") : QStringLiteral("tabKeyB"));
        connect(row.key, &QPushButton::clicked, this, [this, side] { editor_.advanceWriteProtect(side); });
        line->addWidget(row.key);
        tabs->addRow(side == TapeSide::a ? tr("Side A") : tr("Side B"), content);
    }
    refresh();
}

void DesignerCassettePage::refresh() {
    const auto& document = editor_.document();
    if (!document) return;
    const QColor accent = CassetteLabel::color(document->design.accentColor);
    for (DesignerStyleSwatch* swatch : swatches_)
        swatch->showState(document->type, swatch->style().id == document->design.styleID, accent);
    for (DesignerTextField* field : {title_, sideATitle_, sideBTitle_}) field->refresh();
    handwriting_->refresh();
    paperStyle_->refresh();
    for (ColorWell* w : {paper_, ink_, accent_, plastic_}) w->refresh();
    if (transparent_->isChecked() != document->design.shellTransparent) {
        const QSignalBlocker blocker(transparent_);
        transparent_->setChecked(document->design.shellTransparent);
    }
    for (TapeSide side : {TapeSide::a, TapeSide::b}) {
        const WriteProtect state = document->side(side).writeProtect;
        TabRow& row = tabs_[std::size_t(side)];
        const QString text = stateText(state);
        if (row.state->text() != text) {
            row.state->setText(text);
            QPalette p = row.state->palette();
            QColor colour = state == WriteProtect::broken ? QColor(Qt::red) : palette().color(QPalette::WindowText);
            if (state != WriteProtect::broken) colour.setAlphaF(0.55f);
            p.setColor(QPalette::WindowText, colour);
            row.state->setPalette(p);
        }
        const QString key = tabKeyTitle(state);
        if (row.key->text() != key) row.key->setText(key);
    }
}

}  // namespace norvo
