#pragma once
#include <QComboBox>
#include <QStringList>

#include "Designer/CassetteDesignerView.hpp"

namespace norvo {

// A pop-up picker bound to a case of the document: one row per case, in the order of
// the binding's cases. Only the user's choice is written; refresh() follows the document.
class DesignerPicker : public QComboBox {
    Q_OBJECT
public:
    DesignerPicker(const QStringList& titles, CassetteDesignerView::ChoiceBinding binding, QWidget* parent = nullptr);

    void refresh();

protected:
    // A wheel turned to scroll the form must not change the document: only a picker the
    // user has focused takes the wheel.
    void wheelEvent(QWheelEvent* event) override;

private:
    CassetteDesignerView::ChoiceBinding binding_;
};

}  // namespace norvo
