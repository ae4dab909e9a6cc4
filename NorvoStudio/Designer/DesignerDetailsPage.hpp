#pragma once
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

#include "AudioEngine/CassetteType.hpp"
#include "Cassette/HistoryEvent.hpp"
#include "Designer/DesignerForm.hpp"
#include "Platform/Clock.hpp"

class QLabel;

namespace norvo {

class DesignerFormSection;
class DesignerTextEditor;
class DesignerTextField;
class CassetteSlot;
class DocumentEditor;

// The "Details" page: the catalogue texts (editable), the cassette's fixed facts, how
// much of each side is recorded, the track markers of both sides and the history,
// newest first. Markers and history are read-only.
class DesignerDetailsPage : public DesignerForm {
    Q_OBJECT
public:
    DesignerDetailsPage(DocumentEditor& editor, const CassetteSlot& slot, QWidget* parent = nullptr);

    // The document's texts and lists.
    void refresh();
    // The recorded lengths, which move while the deck records.
    void refreshTape();

    // "C90 · 45 min per side".
    static QString typeText(const CassetteType& type);
    // The abbreviated date and shortened time of `locale` ("Dec 7, 2026, 11:05 AM").
    static QString dateText(Date date, const QLocale& locale = QLocale());
    static QString eventDescription(const HistoryEvent& event);

private:
    struct Row {
        QString label;
        QString value;
        bool operator==(const Row&) const = default;
    };
    static void showRows(DesignerFormSection* section, std::vector<Row>& shown, std::vector<Row> rows);

    DocumentEditor& editor_;
    const CassetteSlot& slot_;
    DesignerTextField* creator_ = nullptr;
    DesignerTextField* serial_ = nullptr;
    DesignerTextField* genre_ = nullptr;
    DesignerTextEditor* description_ = nullptr;
    DesignerTextEditor* notes_ = nullptr;
    QLabel* id_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* created_ = nullptr;
    QLabel* createdWith_ = nullptr;
    DesignerFormSection* tape_ = nullptr;
    QLabel* sideARecorded_ = nullptr;
    QLabel* sideBRecorded_ = nullptr;
    DesignerFormSection* markers_ = nullptr;
    QLabel* markersNote_ = nullptr;
    DesignerFormSection* history_ = nullptr;
    std::vector<Row> markerRows_;
    std::vector<Row> historyRows_;
    bool markersShown_ = false;
};

}  // namespace norvo
