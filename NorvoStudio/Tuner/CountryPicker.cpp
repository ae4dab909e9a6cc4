#include "Tuner/CountryPicker.hpp"

#include <QAbstractListModel>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <cmath>

#include "Kit/ExactFont.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/Silkscreen.hpp"
#include "Kit/SystemSymbol.hpp"
#include "StudioModel/ShownText.hpp"
#include "Tuner/FlagEmoji.hpp"
#include "Tuner/Spinner.hpp"
#include "Tuner/StationGuideRules.hpp"

namespace norvo {

namespace {

const Silkscreen title{QStringLiteral("COUNTRY"), 8};
constexpr qreal stackSpacing = 8;
constexpr qreal fieldHeight = 22;
// The failure: symbol, sentence and key, stacked like the station list's overlay.
constexpr qreal failureSpacing = 7;
constexpr qreal failureSymbolSize = 22;
constexpr qreal tryAgainWidth = 90;
constexpr qreal tryAgainHeight = 20;
const QString failureSymbol = QStringLiteral("wifi.exclamationmark");
QColor failureInk() { return KitColor::white(0.7); }
QFont failureFont() { return KitFont::system(11); }

QString trimmedBlanks(const QString& text) {
    qsizetype begin = 0, end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text.at(begin))) ++begin;
    while (end > begin && blank(text.at(end - 1))) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

struct CountryPicker::FailureLayout {
    QRectF symbol;
    QRectF text;
    QRectF key;
};

class CountryPicker::Model final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    std::vector<Country> shown;

    void set(std::vector<Country> countries) {
        beginResetModel();
        shown = std::move(countries);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(shown.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || role != Qt::DisplayRole) return {};
        return ShownText::plain(shown[static_cast<std::size_t>(index.row())].name);
    }
};

class CountryPicker::RowDelegate final : public QStyledItemDelegate {
public:
    RowDelegate(CountryPicker& picker) : QStyledItemDelegate(&picker), picker_(picker) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        paintRow(*painter, option.rect, picker_.model_->shown[static_cast<std::size_t>(index.row())],
                 picker_.rowIsSelected(index.row()));
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(100, int(rowHeight));
    }

private:
    CountryPicker& picker_;
};

void CountryPicker::paintRow(QPainter& painter, const QRectF& rect, const Country& country, bool selected) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF row = rect.adjusted(2, 0, -2, 0);
    const auto baseline = [&](const ExactFont& font) {
        return row.center().y() + (font.ascent() - font.descent()) / 2;
    };

    const ExactFont flagFont(textSize, &KitFont::emoji);
    const QString flag = QString::fromStdString(flagEmoji(country.code));
    flagFont.draw(painter, QPointF(row.left(), baseline(flagFont)), flag);
    const qreal flagWidth = flagFont.horizontalAdvance(flag);

    const ExactFont countFont(9, [](qreal size) { return KitFont::monospaced(size, QFont::Medium); });
    const QString count = QString::number(country.stationCount);
    const qreal countWidth = countFont.horizontalAdvance(count);
    painter.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
    countFont.draw(painter, QPointF(row.right() - countWidth, baseline(countFont)), count);

    const ExactFont nameFont(textSize,
                             [&](qreal size) { return KitFont::system(size, selected ? QFont::Bold : QFont::Normal); });
    const qreal nameX = row.left() + flagWidth + 8;
    const QString name =
        nameFont.elided(ShownText::isolated(country.name), std::max<qreal>(0, row.right() - countWidth - 8 - nameX));
    painter.setPen(selected ? KitColor::amber : KitColor::white(0.88));
    nameFont.draw(painter, QPointF(nameX, baseline(nameFont)), name);
    painter.restore();
}

CountryPicker::CountryPicker(std::vector<Country> countries, std::optional<std::string> current,
                             std::function<void(const std::string&)> pick, const Clock& clock, QString filter,
                             QWidget* parent)
    : QWidget(parent),
      countries_(std::move(countries)),
      current_(std::move(current)),
      pick_(std::move(pick)),
      clock_(clock),
      field_(new QLineEdit(this)),
      list_(new QListView(this)),
      model_(new Model(this)),
      tryAgain_(new MiniKey(QStringLiteral("Try Again"), this)) {
    const QRectF content = contentRect();
    const qreal fieldTop = content.top() + title.sizeHint().height() + stackSpacing;
    field_->setGeometry(QRectF(content.left(), fieldTop, content.width(), fieldHeight).toRect());
    field_->setPlaceholderText(QStringLiteral("Filter countries"));
    // A line edit lays out, places the caret and hit-tests with its QFont, which holds whole
    // pixels only: the field types at 12, the nearest whole size up from the panel's 11.5.
    field_->setFont(KitFont::system(12));
    field_->setClearButtonEnabled(false);
    field_->setText(filter);
    // The panel is dark whatever the desktop's theme.
    QPalette dark = field_->palette();
    dark.setColor(QPalette::Base, KitColor::white(0.16));
    dark.setColor(QPalette::Text, KitColor::white(0.92));
    dark.setColor(QPalette::PlaceholderText, KitColor::white(0.5));
    field_->setPalette(dark);
    field_->setStyleSheet(QStringLiteral("QLineEdit { background: #292929; color: #ebebeb; border: 1px solid #4a4a4a;"
                                         " border-radius: 5px; padding: 1px 5px; }"));
    connect(field_, &QLineEdit::textChanged, this, [this] { refilter(); });

    const qreal listTop = fieldTop + fieldHeight + stackSpacing;
    list_->setGeometry(QRectF(content.left(), listTop, content.width(), content.bottom() - listTop).toRect());
    list_->setModel(model_);
    list_->setItemDelegate(new RowDelegate(*this));
    list_->setUniformItemSizes(true);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    // A thin bar in the display's style rather than the desktop's arrows.
    list_->setStyleSheet(QStringLiteral(
        "QListView { background: transparent; border: none; }"
        " QScrollBar:vertical { background: transparent; width: 7px; margin: 2px 1px; }"
        " QScrollBar::handle:vertical { background: rgba(255, 255, 255, 70); border-radius: 2px; min-height: 24px; }"
        " QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        " QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    list_->viewport()->setAutoFillBackground(false);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) { clickRow(index.row()); });
    tryAgain_->hide();
    connect(tryAgain_, &QAbstractButton::clicked, this, [this] {
        if (onTryAgain) onTryAgain();
    });

    resize(sizeHint());
    refilter();
}

CountryPicker::~CountryPicker() = default;

std::vector<CountryPicker::Country> CountryPicker::filtered(const std::vector<Country>& countries,
                                                            const QString& filter) {
    const QString text = trimmedBlanks(filter);
    if (text.isEmpty()) return countries;
    std::vector<Country> result;
    for (const Country& country : countries) {
        if (QString::fromStdString(country.name).contains(text, Qt::CaseInsensitive) ||
            QString::fromStdString(country.code).compare(text, Qt::CaseInsensitive) == 0)
            result.push_back(country);
    }
    return result;
}

void CountryPicker::setCountries(std::vector<Country> countries) {
    if (countries == countries_) return;
    countries_ = std::move(countries);
    refilter();
}

void CountryPicker::setLoadError(std::optional<std::string> error) {
    if (error == loadError_) return;
    loadError_ = std::move(error);
    refilter();
}

void CountryPicker::setFilter(const QString& filter) { field_->setText(filter); }
QString CountryPicker::filter() const { return field_->text(); }

std::vector<std::string> CountryPicker::shownCodes() const {
    std::vector<std::string> codes;
    if (showsSpinner()) return codes;
    for (const Country& country : model_->shown) codes.push_back(country.code);
    return codes;
}

bool CountryPicker::showsSpinner() const { return countries_.empty() && !loadError_; }

bool CountryPicker::showsLoadError() const { return countries_.empty() && loadError_; }

QString CountryPicker::loadErrorMessage() const {
    if (!showsLoadError()) return {};
    return QString::fromStdString(StationGuideRules::capitalised(*loadError_));
}

void CountryPicker::clickRow(int row) {
    if (row < 0 || row >= static_cast<int>(model_->shown.size())) return;
    const std::string code = model_->shown[static_cast<std::size_t>(row)].code;
    pick_(code);
}

bool CountryPicker::rowIsSelected(int row) const {
    if (row < 0 || row >= static_cast<int>(model_->shown.size())) return false;
    return current_ && *current_ == model_->shown[static_cast<std::size_t>(row)].code;
}

QSize CountryPicker::sizeHint() const { return QSizeF(panelWidth + 2 * padding, panelHeight + 2 * padding).toSize(); }

void CountryPicker::refilter() {
    model_->set(filtered(countries_, field_->text()));
    list_->setVisible(!countries_.empty());
    tryAgain_->setVisible(showsLoadError());
    if (showsLoadError()) tryAgain_->setKeyGeometry(failureLayout().key.toRect());
    update();
}

QRectF CountryPicker::contentRect() const { return QRectF(padding, padding, panelWidth, panelHeight); }

QRectF CountryPicker::placeholderRect() const {
    const QRectF content = contentRect();
    const qreal top = content.top() + title.sizeHint().height() + stackSpacing + fieldHeight + stackSpacing;
    return QRectF(content.left(), top, content.width(), content.bottom() - top);
}

CountryPicker::FailureLayout CountryPicker::failureLayout() const {
    const QRectF area = placeholderRect();
    const QSizeF symbol = SystemSymbol::size(failureSymbol, failureSymbolSize);
    const qreal textWidth = area.width() - 2 * padding;
    const QRectF text =
        QFontMetricsF(failureFont())
            .boundingRect(QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, loadErrorMessage());
    const qreal total = symbol.height() + failureSpacing + text.height() + failureSpacing + tryAgainHeight;
    qreal y = area.top() + (area.height() - total) / 2;
    FailureLayout l;
    l.symbol = QRectF(area.center().x() - symbol.width() / 2, y, symbol.width(), symbol.height());
    y += symbol.height() + failureSpacing;
    l.text = QRectF(area.left() + padding, y, textWidth, text.height());
    y += text.height() + failureSpacing;
    l.key = QRectF(area.center().x() - tryAgainWidth / 2, y, tryAgainWidth, tryAgainHeight);
    return l;
}

void CountryPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), KitColor::faceplateBlack);
    const QRectF content = contentRect();
    title.paint(painter, QRectF(content.left(), content.top(), content.width(), title.sizeHint().height()),
                Qt::AlignLeft | Qt::AlignVCenter);
    if (showsLoadError()) {
        const FailureLayout l = failureLayout();
        SystemSymbol::paint(painter, failureSymbol, l.symbol.center(), failureSymbolSize, QFont::Light, failureInk());
        painter.setFont(failureFont());
        painter.setPen(failureInk());
        painter.drawText(l.text, Qt::AlignHCenter | Qt::TextWordWrap, loadErrorMessage());
        return;
    }
    if (!showsSpinner()) return;
    // A small spinner centred below the field; its phase comes from the wall clock.
    Spinner::paint(painter, placeholderRect().center(), KitColor::white(0.85), Spinner::phase(clock_.now()));
}

}  // namespace norvo
