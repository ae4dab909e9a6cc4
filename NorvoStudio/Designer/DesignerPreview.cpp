#include "DesignerPreview.hpp"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "CassetteDrawing/CassetteView.hpp"
#include "CassetteDrawing/HandwritingFont.hpp"
#include "CassetteDrawing/JCardView.hpp"
#include "DesignerScrollBar.hpp"
#include "DesignerSegmentedControl.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "StudioModel/DocumentEditor.hpp"
#include "StudioModel/LiveDeck.hpp"

namespace norvo {
namespace {

void castShadow(QWidget* widget) {
    auto* shadow = new QGraphicsDropShadowEffect(widget);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.6f));
    // A blur radius of twice the shadow's radius gives a softness like the drawn faces'.
    shadow->setBlurRadius(20);
    shadow->setOffset(0, 6);
    widget->setGraphicsEffect(shadow);
}

// One booklet panel, fitted to the 63.5 : 101.6 panel and 200 high.
class BookletCell final : public QWidget {
public:
    BookletCell(QImage image, QWidget* parent) : QWidget(parent), image_(std::move(image)) { setFixedSize(125, 200); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(rect()), image_);
    }

private:
    QImage image_;
};

}  // namespace

DesignerPreview::DesignerPreview(DocumentEditor& editor, const LiveDeck& live, QWidget* parent)
    : QWidget(parent), editor_(editor), live_(live) {
    setObjectName(QStringLiteral("designerPreview"));
    setFixedWidth(columnWidth + 2 * padding);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(padding, padding, 0, padding);

    // The scroll area reaches into the right padding, where its bar lies when the column
    // is too short: the views keep their width and place whatever scrolls.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidgetResizable(true);
    scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFixedWidth(columnWidth + padding);
    DesignerScrollBar::dress(scroll_->verticalScrollBar(), DesignerScrollBar::Surface::dark, padding);
    scroll_->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll_);

    auto* stack = new QWidget;
    stack->setFixedWidth(columnWidth);
    stack->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(stack);
    // Room for the shadows, which are drawn outside the views.
    column->setContentsMargins(0, 4, 0, 16);
    column->setSpacing(18);

    cassette_ = new CassetteView(stack);
    cassette_->setObjectName(QStringLiteral("previewCassette"));
    castShadow(cassette_);
    column->addWidget(cassette_);

    sideSwitch_ = new DesignerSegmentedControl({tr("Side A"), tr("Side B")}, stack);
    sideSwitch_->setObjectName(QStringLiteral("sideSwitch"));
    sideSwitch_->setAccessibleName(tr("Side"));
    sideSwitch_->setFixedWidth(180);
    // The control draws on the dark studio background.
    QPalette dark = sideSwitch_->palette();
    dark.setColor(QPalette::WindowText, KitColor::white(0.92));
    dark.setColor(QPalette::Base, KitColor::white(0.42));
    sideSwitch_->setPalette(dark);
    connect(sideSwitch_, &DesignerSegmentedControl::chosen, this,
            [this](int index) { setSide(index == 0 ? TapeSide::a : TapeSide::b); });
    column->addWidget(sideSwitch_, 0, Qt::AlignHCenter);

    jcard_ = new JCardView(stack);
    jcard_->setObjectName(QStringLiteral("previewJCard"));
    jcard_->setFixedSize(240, 240);
    castShadow(jcard_);
    column->addWidget(jcard_, 0, Qt::AlignHCenter);

    booklet_ = new QWidget(stack);
    booklet_->setObjectName(QStringLiteral("bookletStrip"));
    auto* strip = new QVBoxLayout(booklet_);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(6);
    auto* caption = new QLabel(QStringLiteral("BOOKLET"), booklet_);
    caption->setTextFormat(Qt::PlainText);
    caption->setFont(KitFont::system(8, QFont::DemiBold, KitFont::Width::expanded));
    QPalette cp = caption->palette();
    cp.setColor(QPalette::WindowText, KitColor::silkscreenLight);
    caption->setPalette(cp);
    strip->addWidget(caption);
    auto* cellScroll = new QScrollArea(booklet_);
    cellScroll->setFrameShape(QFrame::NoFrame);
    cellScroll->setFocusPolicy(Qt::NoFocus);
    cellScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cellScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    DesignerScrollBar::dress(cellScroll->horizontalScrollBar(), DesignerScrollBar::Surface::dark, 12);
    cellScroll->viewport()->setAutoFillBackground(false);
    cells_ = new QWidget;
    cells_->setAutoFillBackground(false);
    cellRow_ = new QHBoxLayout(cells_);
    cellRow_->setContentsMargins(0, 0, 0, 0);
    cellRow_->setSpacing(2);
    cellRow_->addStretch(1);
    cellScroll->setWidget(cells_);
    cells_->setAutoFillBackground(false);
    cellScroll->setWidgetResizable(true);
    cellScroll->setFixedHeight(200 + cellScroll->horizontalScrollBar()->sizeHint().height());
    strip->addWidget(cellScroll);
    column->addWidget(booklet_);
    column->addStretch(1);
    scroll_->setWidget(stack);
    stack->setAutoFillBackground(false);  // setWidget() turned it on

    showDocument();
    showImages();
    showBooklet();
    showHead();
}

void DesignerPreview::setSide(TapeSide side) {
    sideSwitch_->setCurrentIndex(side == TapeSide::a ? 0 : 1);
    if (side == side_) return;
    side_ = side;
    cassette_->setSide(side);
}

void DesignerPreview::showDocument() {
    const auto& document = editor_.document();
    if (!document) return;
    cassette_->setDocument(*document);
    jcard_->setDocument(*document);
}

void DesignerPreview::showImages() {
    cassette_->setImages(editor_.images());
    jcard_->setImages(editor_.images());
}

void DesignerPreview::showBooklet() {
    const std::vector<QImage>& images = editor_.bookletImages();
    booklet_->setVisible(!images.empty());
    if (images == shownBooklet_) return;
    shownBooklet_ = images;
    while (cellRow_->count() > 1) {
        QLayoutItem* item = cellRow_->takeAt(0);
        delete item->widget();
        delete item;
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        auto* cell = new BookletCell(images[i], cells_);
        cellRow_->insertWidget(int(i), cell);
    }
}

int DesignerPreview::bookletCells() const { return cellRow_->count() - 1; }

void DesignerPreview::showHead() { cassette_->setHead(live_.snapshot().transport.head); }

void DesignerPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, KitColor::studioBrown);
    gradient.setColorAt(1, KitColor::studioBrownDark);
    p.fillRect(rect(), gradient);
}

}  // namespace norvo
