#pragma once
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace norvo {

// A popover for a picker: a panel with a light edge and a drop shadow, below its key, the tip
// of its arrow on the key's bottom edge. A click outside closes it; a click on its own key is
// reported as anchorPressed instead of reaching the key, so that the key's owner toggles it.
// `closed` is emitted however it closes.
class PickerPopup final : public QWidget {
    Q_OBJECT
public:
    static constexpr int arrowHeight = 8;
    // Room for the shadow beside and below the panel.
    static constexpr int shadowMargin = 16;
    // Black between the panel's edge and the content, enough for its rounded corners.
    static constexpr int edgeInset = 3;
    // The least height a content is cut to where the room below its key is short.
    static constexpr int minimumContentHeight = 160;

    PickerPopup(QWidget* content, QWidget* anchor);

    QWidget* content() const { return content_; }
    // The panel below the arrow, in the popup's coordinates.
    QRectF panelRect() const;
    // Where the arrow's tip is, in the popup's coordinates.
    QPointF arrowTip() const { return {arrowX_, 0}; }
    // Shows it below the anchor, its arrow's tip on the middle of the anchor's bottom edge.
    // Where the room below the anchor is shorter than the content, the content is made
    // shorter (its list scrolls) rather than hanging out of the window.
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
    // The anchor's visible body: a kit key without the room kept for its shadow.
    QRect anchorRect() const;
    // A window of its own over the studio's `window`, at `at` in that window.
    void standOver(QWidget& window, QPoint at);
    bool onPanel(QPointF point) const;

    // Sets the content's height and the popup's size to go with it.
    void setContentHeight(int height);

    QWidget* content_;
    int naturalHeight_;
    QPointer<QWidget> anchor_;
    qreal arrowX_ = 0;
    QPixmap backdrop_;  // what the popover covers of the studio, under its shadow
    QPoint backdropAt_;
};

}  // namespace norvo
