#pragma once
#include "Designer/DesignerForm.hpp"

namespace norvo {

class ColorWell;
class DesignerPicker;
class DesignerTextEditor;
class DesignerTextField;
class DocumentEditor;

// The "J-card" page: front cover texts, lettering and colours, spine and flap, the two
// track lists (one title per line) and the dedication.
class DesignerJCardPage : public DesignerForm {
    Q_OBJECT
public:
    explicit DesignerJCardPage(DocumentEditor& editor, QWidget* parent = nullptr);

    void refresh();

private:
    DocumentEditor& editor_;
    DesignerTextField* title_ = nullptr;
    DesignerTextField* subtitle_ = nullptr;
    DesignerPicker* lettering_ = nullptr;
    ColorWell* card_ = nullptr;
    ColorWell* ink_ = nullptr;
    DesignerTextField* spine_ = nullptr;
    DesignerTextField* flap_ = nullptr;
    DesignerTextEditor* sideATracks_ = nullptr;
    DesignerTextEditor* sideBTracks_ = nullptr;
    DesignerTextEditor* dedication_ = nullptr;
};

}  // namespace norvo
