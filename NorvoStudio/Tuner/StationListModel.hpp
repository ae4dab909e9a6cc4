#pragma once
#include <QAbstractListModel>
#include <vector>

#include "Radio/RadioStation.hpp"

namespace norvo {

// The band's stations as a list model for the guide's list view; the row's station id
// is its identity (IdRole). Replaced whole when the band's station list changes.
class StationListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { IdRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    const std::vector<RadioStation>& stations() const { return stations_; }
    // Resets only when the list differs; returns whether it did.
    bool setStations(const std::vector<RadioStation>& stations);
    // The row of the first station with this id, or -1.
    int rowOf(const std::string& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<RadioStation> stations_;
};

}  // namespace norvo
