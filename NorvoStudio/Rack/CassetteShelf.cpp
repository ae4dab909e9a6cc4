#include "CassetteShelf.hpp"

#include "Cassette/CassetteDocument.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/SystemSymbol.hpp"
#include "StudioModel/StudioModel.hpp"

#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QVBoxLayout>

namespace norvo {

namespace {

constexpr double aspect = 100.4 / 63.8;
constexpr int captionHeight = 14;
constexpr int captionSpacing = 4;

QIcon symbolIcon(const QString& name) {
    QIcon icon;
    for (double ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(16, 16) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        SystemSymbol::paint(painter, name, QPointF(8, 8), 12, QFont::Medium, KitColor::white(0.85));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPushButton* actionButton(const QString& title, const QString& symbol, QWidget* parent) {
    auto* button = new QPushButton(symbolIcon(symbol), title, parent);
    button->setFont(KitFont::system(13, QFont::Normal));
    button->setFocusPolicy(Qt::NoFocus);
    // Dark translucent push buttons, as the rest of the rack is dark.
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: rgba(255,255,255,217); background: rgba(255,255,255,28);"
                       " border: 1px solid rgba(255,255,255,38); border-radius: 6px; padding: 3px 10px; }"
                       "QPushButton:pressed { background: rgba(255,255,255,56); }"
                       "QPushButton:disabled { color: rgba(255,255,255,90); background: rgba(255,255,255,14); }"));
    return button;
}

}  // namespace

ShelfBlank::ShelfBlank(const CassetteType& type, const std::string& styleID, QWidget* parent)
    : QAbstractButton(parent), type_(type), styleID_(styleID) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QString::fromStdString("Insert a blank " + type.description() + " cassette"));
    setText(caption());
}

QString ShelfBlank::caption() const {
    return QString::fromStdString("Blank " + type_.description() + " · " + std::to_string(type_.minutesPerSide()) +
                                  " min/side");
}

QSize ShelfBlank::sizeHint() const {
    const QFontMetricsF metrics(KitFont::system(10, QFont::Medium));
    const int width = int(std::ceil(std::max(pictureWidth, metrics.horizontalAdvance(caption()))));
    return QSize(width, int(std::ceil(pictureWidth / aspect)) + captionSpacing + captionHeight);
}

void ShelfBlank::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double ratio = devicePixelRatioF();
    const QSizeF pictureSize(pictureWidth, pictureWidth / aspect);
    if (picture_.isNull() || picture_.devicePixelRatio() != ratio) {
        // A display-only blank: never loaded or stored, so its identity does not matter.
        CassetteDesign design;
        for (const auto& style : CassetteStyleCatalog::all())
            if (style.id == styleID_) design = style.design;
        const CassetteDocument blank(type_, "blank", design);
        picture_ = QPixmap((pictureSize * ratio).toSize());
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter picturePainter(&picture_);
        picturePainter.setRenderHint(QPainter::Antialiasing);
        renderCassette(picturePainter, pictureSize, blank, TapeSide::a, 0, {});
    }
    const double x = (width() - pictureSize.width()) / 2;
    painter.setOpacity(isEnabled() ? (isDown() ? 0.8 : 1.0) : 0.45);
    painter.drawPixmap(QPointF(x, 0), picture_);
    painter.setFont(KitFont::system(10, QFont::Medium));
    painter.setPen(KitColor::white(0.8));
    painter.drawText(QRectF(0, pictureSize.height() + captionSpacing, width(), captionHeight),
                     Qt::AlignHCenter | Qt::AlignTop, caption());
}

std::string CassetteShelf::styleForBlank(int position) {
    // C46 chrome, C60 ferro, C90 smoke, C120 kraft: catalogue positions 3, 0, 1, 4.
    static constexpr std::array<int, 4> catalogue{3, 0, 1, 4};
    return CassetteStyleCatalog::all().at(size_t(catalogue.at(size_t(position)))).id;
}

CassetteShelf::CassetteShelf(StudioModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 0, 6, 0);
    row->setSpacing(14);
    // The blanks and the actions stand together in the middle of the shelf.
    row->addStretch(1);
    const auto& types = CassetteType::standard();
    for (size_t i = 0; i < blanks_.size() && i < types.size(); ++i) {
        auto* blank = new ShelfBlank(types[i], styleForBlank(int(i)), this);
        const CassetteType type = types[i];
        connect(blank, &QAbstractButton::clicked, this, [this, type] { model_.cassetteSlot().newCassette(type); });
        blanks_[i] = blank;
        row->addWidget(blank, 0, Qt::AlignVCenter);
    }

    auto* actions = new QVBoxLayout;
    actions->setSpacing(8);
    open_ = actionButton("Open .norvo…", "tray.and.arrow.down", this);
    design_ = actionButton("Design cassette…", "paintpalette", this);
    save_ = actionButton("Save cassette", "square.and.arrow.down", this);
    for (auto* button : {open_, design_, save_}) actions->addWidget(button, 0, Qt::AlignRight);
    row->addLayout(actions);
    row->addStretch(1);

    connect(open_, &QPushButton::clicked, this, [this] { model_.cassetteSlot().chooseCassette(); });
    connect(design_, &QPushButton::clicked, this, [this] { model_.setShowingDesigner(true); });
    connect(save_, &QPushButton::clicked, this, [this] {
        // Copy the location first: the model may change while the save runs.
        CassetteSlot& slot = model_.cassetteSlot();
        if (const auto file = slot.fileUrl()) slot.save(*file);
        else slot.saveAs();
    });

    for (auto signal : {&StudioModel::busyChanged, &StudioModel::documentChanged, &StudioModel::modelChanged,
                        &StudioModel::mediaChanged})
        connect(&model_, signal, this, &CassetteShelf::refresh);
    refresh();
}

void CassetteShelf::refresh() {
    const bool busy = model_.cassetteSlot().busy().has_value();
    // Replacing the cassette while it loads or saves is refused by the model too.
    for (auto* blank : blanks_)
        if (blank) blank->setEnabled(!busy);
    open_->setEnabled(!busy);
    design_->setEnabled(model_.editor().document().has_value());
    save_->setEnabled(model_.isCassetteIdle());
}

}  // namespace norvo
