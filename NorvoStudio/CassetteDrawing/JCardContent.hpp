#pragma once
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "Cassette/CassetteDocument.hpp"

namespace norvo {

// What the J-card says, taken from a document: the texts of each panel as drawn.
struct JCardContent {
    static constexpr int maximumTrackRows = 8;

    QString flapText;
    QString spineText;  // upper-cased; empty draws nothing
    QString title;      // never empty
    QString subtitle;
    QString creator;
    QStringList sideARows;  // "1. First", ... at most eight; empty shows no block
    QStringList sideBRows;
    QString dedication;

    static JCardContent of(const CassetteDocument& document);
    // The non-empty entries (blanks count), numbered from 1, the first eight only.
    static QStringList trackRows(const std::vector<std::string>& tracks);

    bool operator==(const JCardContent&) const = default;
};

}  // namespace norvo
