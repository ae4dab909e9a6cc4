#include "Tuner/StationListModel.hpp"

#include "StudioModel/ShownText.hpp"
#include "Tuner/PlainToolTip.hpp"
#include "Tuner/StationGuideRules.hpp"

namespace norvo {

bool StationListModel::setStations(const std::vector<RadioStation>& stations) {
    if (stations == stations_) return false;
    beginResetModel();
    stations_ = stations;
    endResetModel();
    return true;
}

int StationListModel::rowOf(const std::string& id) const {
    for (std::size_t i = 0; i < stations_.size(); ++i)
        if (stations_[i].id == id) return static_cast<int>(i);
    return -1;
}

int StationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(stations_.size());
}

QVariant StationListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(stations_.size())) return {};
    const RadioStation& station = stations_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: return ShownText::plain(station.name);
    case Qt::ToolTipRole: return plainToolTip(QString::fromStdString(StationGuideRules::rowHelp(station)));
    case IdRole: return QString::fromStdString(station.id);
    default: return {};
    }
}

}  // namespace norvo
