#pragma once
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace norvo {

// A popover for a picker: a panel with a light edge and a drop shadow beside its key, the tip
// of its arrow on the key's edge. A click outside closes it; a click on its own key is
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
    // The least height a list that scrolls is cut to where neither side has room for all of it.
    static constexpr int minimumContentHeight = 160;

    // Whether the content can be made shorter than it asks to be: a list that scrolls can, a
    // grid of keys cannot (its last rows would be lost).
    enum class Content { whole, scrolls };
    // Where the panel stands: below its key, or above it where the room below is short.
    enum class Side { below, above };

    PickerPopup(QWidget* content, QWidget* anchor, Content kind = Content::whole);

    QWidget* content() const { return content_; }
    // The panel below the arrow, in the popup's coordinates.
    QRectF panelRect() const;
    // Where the arrow's tip is, in the popup's coordinates.
    QPointF arrowTip() const;
    Side side() const { return side_; }
    // Shows it below the anchor, its arrow's tip on the middle of the anchor's bottom edge;
    // where the content does not fit below in the screen (or in the scaled rack) but fits
    // above, above the anchor, the tip on its top edge. Where neither side has room, a
    // content that scrolls is made shorter on the roomier side.
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
    QRectF anchorRect() const;
    // Picks the side, the content's height and the arrow's place for the room around the
    // anchor; the popup's top left corner in the area's coordinates.
    QPoint place(QRectF key, QRect area);
    // A window of its own over the studio's `window`, at `at` in that window.
    void standOver(QWidget& window, QPoint at);
    bool onPanel(QPointF point) const;

    // Sets the content's height and the popup's size to go with it.
    void setContentHeight(int height);

    QWidget* content_;
    Content kind_;
    int naturalHeight_;
    QPointer<QWidget> anchor_;
    qreal arrowX_ = 0;
    Side side_ = Side::below;
    QPixmap backdrop_;  // what the popover covers of the studio, under its shadow
    QPoint backdropAt_;
};

}  // namespace norvo
