#pragma once
#include <QAbstractButton>
#include <QPointer>

#include "Designer/CassetteDesignerView.hpp"

#include <QColorDialog>

namespace norvo {

// A colour well bound to a colour of the document. Clicking it opens the colour dialog
// (window-modal, with an opacity control only for `Alpha::shown`); the colour is written
// when the dialog is accepted; cancelling stores nothing. The dialog is opened without a
// nested event loop, so nothing here waits on it with references into the document.
class ColorWell : public QAbstractButton {
    Q_OBJECT
public:
    enum class Alpha { hidden, shown };

    ColorWell(CassetteDesignerView::ColorBinding binding, Alpha alpha, const QString& title, QWidget* parent = nullptr);

    void refresh();
    bool showsAlpha() const { return showsAlpha_; }
    // The open dialog, while one is open.
    QColorDialog* dialog() const { return dialog_; }

    QSize sizeHint() const override { return {46, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void choose();

    CassetteDesignerView::ColorBinding binding_;
    bool showsAlpha_;
    QString title_;
    std::optional<RGBAColor> shown_;
    QPointer<QColorDialog> dialog_;
};

}  // namespace norvo
