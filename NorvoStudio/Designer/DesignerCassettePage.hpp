#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "Cassette/FontRole.hpp"
#include "Cassette/LabelStyle.hpp"
#include "Cassette/WriteProtect.hpp"
#include "Designer/DesignerForm.hpp"

class QCheckBox;
class QLabel;
class QPushButton;

namespace norvo {

class ColorWell;
class DesignerPicker;
class DesignerStyleSwatch;
class DesignerTextField;
class DocumentEditor;

// The "Cassette" page: the style grid, the label's lettering and paper, the shell and
// the record tabs of both sides.
class DesignerCassettePage : public DesignerForm {
    Q_OBJECT
public:
    explicit DesignerCassettePage(DocumentEditor& editor, QWidget* parent = nullptr);

    // Shows the loaded document; editors change only where they differ.
    void refresh();

    // "Marker", "Pen", ...: the rows of the handwriting and lettering pickers.
    static QStringList fontRoleTitles();
    static QString labelStyleTitle(LabelStyle style);
    // "Tab intact", "Tab broken off", "Taped over".
    static QString stateText(WriteProtect state);
    // The record-tab key: what pressing it does next.
    static QString tabKeyTitle(WriteProtect state);

private:
    struct TabRow {
        QLabel* state = nullptr;
        QPushButton* key = nullptr;
    };

    DocumentEditor& editor_;
    std::vector<DesignerStyleSwatch*> swatches_;
    DesignerTextField* title_ = nullptr;
    DesignerTextField* sideATitle_ = nullptr;
    DesignerTextField* sideBTitle_ = nullptr;
    DesignerPicker* handwriting_ = nullptr;
    DesignerPicker* paperStyle_ = nullptr;
    ColorWell* paper_ = nullptr;
    ColorWell* ink_ = nullptr;
    ColorWell* accent_ = nullptr;
    ColorWell* plastic_ = nullptr;
    QCheckBox* transparent_ = nullptr;
    std::array<TabRow, 2> tabs_{};
};

}  // namespace norvo
