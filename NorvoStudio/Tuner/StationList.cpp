#include "Tuner/StationList.hpp"

#include <QContextMenuEvent>
#include <QEasingCurve>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

#include "Kit/KitColor.hpp"
#include "Tuner/StationGuideRules.hpp"
#include "Tuner/StationRow.hpp"

namespace norvo {

class StationList::RowDelegate final : public QStyledItemDelegate {
public:
    RowDelegate(TunerFacade& tuner, StationListModel& model, QObject* parent)
        : QStyledItemDelegate(parent), tuner_(tuner), model_(model) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const auto row = static_cast<std::size_t>(index.row());
        if (row >= model_.stations().size()) return;
        const RadioStation& station = model_.stations()[row];
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::TextAntialiasing);
        if (option.state & QStyle::State_Selected) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(KitColor::faded(KitColor::displayCyan, 0.16));
            painter->drawRoundedRect(QRectF(option.rect).adjusted(2, 1, -2, -1), 4, 4);
        }
        const StationRow view{index.row(), station, StationGuideRules::tuned(station, tuner_.isOn(), tuner_.station()),
                              StationGuideRules::presetNumber(station, tuner_.presets()),
                              StationGuideRules::showsCountry(tuner_.band().query)};
        view.paint(*painter, QRectF(option.rect).adjusted(8, 0, -8, 0));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(100, int(StationRow::height));
    }

private:
    TunerFacade& tuner_;
    StationListModel& model_;
};

StationList::StationList(TunerFacade& tuner, QWidget* parent)
    : QListView(parent), tuner_(tuner), model_(this), scroll_(new QVariantAnimation(this)) {
    setModel(&model_);
    setItemDelegate(new RowDelegate(tuner_, model_, this));
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    // The glass behind the list is the guide's drawing.
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    // A thin bar in the display's style rather than the desktop's arrows.
    setStyleSheet(QStringLiteral(
        "QListView { background: transparent; border: none; }"
        " QScrollBar:vertical { background: transparent; width: 7px; margin: 2px 1px; }"
        " QScrollBar::handle:vertical { background: rgba(255, 255, 255, 70); border-radius: 2px; min-height: 24px; }"
        " QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        " QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));

    scroll_->setDuration(200);
    scroll_->setEasingCurve(QEasingCurve::OutCubic);
    connect(scroll_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { verticalScrollBar()->setValue(value.toInt()); });
}

std::optional<std::string> StationList::selection() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return std::nullopt;
    return selected.first().data(StationListModel::IdRole).toString().toStdString();
}

void StationList::select(const std::string& id) {
    const int row = model_.rowOf(id);
    if (row < 0) return;
    const QModelIndex index = model_.index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void StationList::selectAndCentre(const std::string& id) {
    const int row = model_.rowOf(id);
    if (row < 0) return;
    select(id);
    const int rowHeight = int(StationRow::height);
    const int target = row * rowHeight + rowHeight / 2 - viewport()->height() / 2;
    scrollTarget_ = std::clamp(target, verticalScrollBar()->minimum(), verticalScrollBar()->maximum());
    scroll_->stop();
    scroll_->setStartValue(verticalScrollBar()->value());
    scroll_->setEndValue(scrollTarget_);
    scroll_->start();
}

void StationList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (onReturn && onReturn(selection())) {
            event->accept();
            return;
        }
        // Not ours: the window's shortcuts and default buttons may want it.
        event->ignore();
        return;
    }
    QListView::keyPressEvent(event);
}

void StationList::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the pair has already selected the row.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton && onDoubleClick) {
        onDoubleClick(model_.stations()[static_cast<std::size_t>(index.row())]);
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void StationList::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid() || !onContextMenu) return;
    // Copy: the menu runs modally while the band may change underneath.
    const RadioStation station = model_.stations()[static_cast<std::size_t>(index.row())];
    onContextMenu(station, event->globalPos());
}

}  // namespace norvo
