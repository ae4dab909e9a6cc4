#include "CassetteDesignerView.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "CassetteDrawing/HandwritingFont.hpp"
#include "DesignerArtworkPage.hpp"
#include "DesignerCassettePage.hpp"
#include "DesignerDetailsPage.hpp"
#include "DesignerFormSection.hpp"
#include "DesignerJCardPage.hpp"
#include "DesignerKey.hpp"
#include "DesignerPreview.hpp"
#include "DesignerSegmentedControl.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

QString CassetteDesignerView::rawValue(Tab tab) {
    switch (tab) {
    case Tab::cassette: return QStringLiteral("Cassette");
    case Tab::jcard: return QStringLiteral("J-card");
    case Tab::artwork: return QStringLiteral("Artwork");
    case Tab::details: return QStringLiteral("Details");
    }
    return {};
}

std::optional<CassetteDesignerView::Tab> CassetteDesignerView::tabFromRaw(const QString& raw) {
    for (Tab tab : allTabs)
        if (rawValue(tab) == raw) return tab;
    return std::nullopt;
}

QString CassetteDesignerView::joinedLines(const std::vector<std::string>& lines) {
    QStringList joined;
    joined.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines) joined << QString::fromStdString(line);
    return joined.join(QLatin1Char('\n'));
}

std::string CassetteDesignerView::hexText(const QColor& color) {
    if (!color.isValid()) return RGBAColor{0, 0, 0, 1}.hexText();
    const QColor srgb = color.toRgb();
    return RGBAColor{srgb.redF(), srgb.greenF(), srgb.blueF(), srgb.alphaF()}.hexText();
}

CassetteDesignerView::CassetteDesignerView(StudioModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setObjectName(QStringLiteral("cassetteDesigner"));
    setWindowTitle(tr("Design Cassette"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(sheetWidth, sheetHeight);
    setFont(HandwritingFont::system(13));

    auto* sheet = new QHBoxLayout(this);
    sheet->setContentsMargins(0, 0, 0, 0);
    sheet->setSpacing(0);
    content_ = new QWidget(this);
    sheet->addWidget(content_);
    auto* columns = new QHBoxLayout(content_);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    if (model_.editor().document()) {
        preview_ = new DesignerPreview(model_.editor(), model_.live(), content_);
        columns->addWidget(preview_);

        auto* editor = new QWidget(content_);
        editor->setFixedWidth(480);
        auto* stack = new QVBoxLayout(editor);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(0);

        QStringList titles;
        for (Tab tab : allTabs) titles << rawValue(tab);
        pageSwitch_ = new DesignerSegmentedControl(titles, editor);
        pageSwitch_->setObjectName(QStringLiteral("pageSwitch"));
        pageSwitch_->setAccessibleName(tr("Page"));
        auto* switchRow = new QHBoxLayout;
        switchRow->setContentsMargins(16, 12, 16, 8);
        switchRow->addWidget(pageSwitch_);
        stack->addLayout(switchRow);
        connect(pageSwitch_, &DesignerSegmentedControl::chosen, this,
                [this](int index) { setTab(allTabs[std::size_t(index)]); });

        pages_ = new QStackedWidget(editor);
        cassettePage_ = new DesignerCassettePage(model_.editor());
        jcardPage_ = new DesignerJCardPage(model_.editor());
        artworkPage_ = new DesignerArtworkPage(model_.editor());
        detailsPage_ = new DesignerDetailsPage(model_.editor(), model_.cassetteSlot());
        for (QWidget* page : std::initializer_list<QWidget*>{cassettePage_, jcardPage_, artworkPage_, detailsPage_})
            pages_->addWidget(page);
        stack->addWidget(pages_, 1);

        auto* footer = new QHBoxLayout;
        footer->setContentsMargins(16, 10, 16, 12);
        QLabel* caption = DesignerFormSection::captionLabel(tr("Saved into the .norvo file (NORVO 1.0)."), editor);
        caption->setObjectName(QStringLiteral("footerCaption"));
        footer->addWidget(caption);
        footer->addStretch(1);
        done_ = new DesignerKey(tr("Done"), editor);
        done_->setObjectName(QStringLiteral("done"));
        done_->setDefault(true);
        connect(done_, &QPushButton::clicked, this, &QDialog::accept);
        footer->addWidget(done_);
        stack->addLayout(footer);
        columns->addWidget(editor);

        connect(&model_, &StudioModel::imagesChanged, preview_, &DesignerPreview::showImages);
        connect(&model_, &StudioModel::bookletImagesChanged, preview_, &DesignerPreview::showBooklet);
        connect(&model_.live(), &LiveDeck::snapshotChanged, preview_, &DesignerPreview::showHead);
        // The recorded lengths are read at every tick (the meters step on each one).
        connect(&model_.live(), &LiveDeck::deckMeterChanged, detailsPage_, &DesignerDetailsPage::refreshTape);
        connect(&model_, &StudioModel::mediaChanged, detailsPage_, &DesignerDetailsPage::refreshTape);
    }

    // Esc closes the sheet whatever has the focus (the text editors would keep it).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);

    connect(&model_, &StudioModel::documentChanged, this, &CassetteDesignerView::documentChanged);
    connect(&model_, &StudioModel::showingDesignerChanged, this, &CassetteDesignerView::showingDesignerChanged);
}

CassetteDesignerView::~CassetteDesignerView() = default;

TapeSide CassetteDesignerView::previewSide() const { return preview_ ? preview_->side() : TapeSide::a; }

void CassetteDesignerView::setTab(Tab tab) {
    if (!pages_) return;
    pageSwitch_->setCurrentIndex(int(tab));
    if (tab == tab_) return;
    tab_ = tab;
    pages_->setCurrentIndex(int(tab));
}

void CassetteDesignerView::documentChanged() {
    if (!model_.editor().document()) {
        // The cassette went away: nothing is left to design.
        reject();
        return;
    }
    if (!pages_) return;
    preview_->showDocument();
    cassettePage_->refresh();
    jcardPage_->refresh();
    artworkPage_->refresh();
    detailsPage_->refresh();
}

void CassetteDesignerView::showingDesignerChanged() {
    if (!model_.showingDesigner()) reject();
}

void CassetteDesignerView::done(int result) {
    if (closing_) return;
    closing_ = true;
    QDialog::done(result);
    model_.setShowingDesigner(false);
}

}  // namespace norvo
