#pragma once
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "Radio/RadioStation.hpp"

namespace norvo {

// One line of the station list: running number, name, and at the right the preset,
// country and format badges. Directory texts are drawn as plain text.
struct StationRow {
    int index = 0;
    RadioStation station;
    bool tuned = false;
    std::optional<int> preset;
    bool showCountry = true;

    static constexpr qreal height = 22;
    static constexpr qreal spacing = 7;

    QString help() const;
    // The badge texts in drawing order (preset, country, format); absent ones left out.
    QStringList badges() const;
    std::vector<std::pair<QString, QColor>> badgeItems() const;
    void paint(QPainter& painter, const QRectF& rect) const;
};

}  // namespace norvo
