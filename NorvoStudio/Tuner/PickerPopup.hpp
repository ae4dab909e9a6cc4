#pragma once
#include <QPointer>
#include <QWidget>

namespace norvo {

// A popover for a picker: a popup window below its key with an arrow on the key's bottom
// edge. A click outside closes it; a click on its own key is reported as anchorPressed
// instead of reaching the key, so that the key's owner toggles it. `closed` is emitted however it closes.
class PickerPopup final : public QWidget {
    Q_OBJECT
public:
    static constexpr int arrowHeight = 8;

    PickerPopup(QWidget* content, QWidget* anchor);

    QWidget* content() const { return content_; }
    // Shows it below the anchor, its arrow on the anchor's centre.
    void open();

signals:
    void closed();
    // The popup's own key was pressed while it was open (the key itself does not see it).
    void anchorPressed();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent*) override;

private:
    QWidget* content_;
    QPointer<QWidget> anchor_;
    qreal arrowX_ = 0;
};

}  // namespace norvo
