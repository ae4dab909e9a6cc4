#pragma once
#include <QString>
#include <vector>

#include "Cassette/ArtworkRole.hpp"
#include "Designer/DesignerForm.hpp"

class QPushButton;

namespace norvo {

class DesignerFormSection;
class DocumentEditor;

// The "Artwork" page: one row per artwork slot (the thumbnail has none) with its sizes
// and its Choose/Replace and Remove keys, then the booklet panels and "Add Panel…".
// Choosing runs the editor's artwork import, which stores what it accepts.
class DesignerArtworkPage : public DesignerForm {
    Q_OBJECT
public:
    explicit DesignerArtworkPage(DocumentEditor& editor, QWidget* parent = nullptr);

    void refresh();

    // The slots shown, in order: every role but the thumbnail.
    static std::vector<ArtworkRole> shownRoles();
    // "100.4 × 63.8 mm · 2410 × 1531 px".
    static QString sizeLine(ArtworkRole role);
    static QString imagesNote();

private:
    struct SlotRow {
        ArtworkRole role;
        QWidget* check = nullptr;
        QPushButton* remove = nullptr;
        QPushButton* choose = nullptr;
    };

    void rebuildPanels(int count);
    // Runs the import after the click has returned: the open panel is modal and the sheet
    // may be gone when it ends, so the work holds the editor only.
    void choose(std::optional<ArtworkRole> role);

    DocumentEditor& editor_;
    std::vector<SlotRow> slots_;
    DesignerFormSection* booklet_ = nullptr;
    int panelsShown_ = -1;
};

}  // namespace norvo
