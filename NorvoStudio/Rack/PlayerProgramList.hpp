#pragma once
#include <QAbstractScrollArea>
#include <QList>
#include <QPointF>
#include <QUrl>
#include <cstdint>
#include <optional>
#include <vector>

#include "Platform/Uuid.hpp"
#include "PlayerReorder.hpp"

class QMenu;

namespace norvo {

class PlayerFacade;

// The DA-2's PROGRAM: the player's tracks on dark glass, one row each (number, title,
// length), the current track in amber bold. Click selects, double-click plays, Backspace
// or Delete removes the selection, dragging a row reorders through the player, and local
// audio files dropped on it are added. Everything shown is read from the player at paint
// time; when the player says that something changed, only the rows it changed are drawn
// again (a list of thousands of tracks is never copied or compared), and the selection
// (the player's) and a drag in progress (held by track id) stay intact.
class PlayerProgramList final : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int rowHeight = 24;

    explicit PlayerProgramList(PlayerFacade& player, QWidget* parent = nullptr);

    bool dropTargeted() const { return dropTargeted_; }
    // The rows' rectangle in viewport coordinates.
    QRect rowRect(std::size_t index) const;
    // Takes the supported local files among `urls`; false when none passed.
    bool handleDrop(const QList<QUrl>& urls);
    // Removes the selected track, if any.
    void removeSelection();
    // The context menu of the row for this track.
    QMenu* rowMenu(const Uuid& id);
    // The gap where a dragged row would land now, while a drag is in progress.
    std::optional<std::size_t> dropGap() const { return reorder_.active() ? gap_ : std::nullopt; }

    // Re-reads the player (the face calls this when the player announces a change).
    void refresh();

signals:
    void dropTargetedChanged(bool targeted);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void hideEvent(QHideEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dragMoveEvent(QDragMoveEvent*) override;
    void dragLeaveEvent(QDragLeaveEvent*) override;
    void dropEvent(QDropEvent*) override;
    bool viewportEvent(QEvent*) override;

private:
    std::optional<std::size_t> rowAt(QPointF viewportPos) const;
    void setDropTargeted(bool targeted);
    void updateScrollRange();
    // Repaints the rows [first, end) where they are in sight.
    void updateRows(std::size_t first, std::size_t end);
    void cancelDrag();

    PlayerFacade& player_;
    bool dropTargeted_ = false;
    // A press on a row that may become a drag once the pointer travels far enough.
    std::optional<Uuid> pressedTrack_;
    QPointF pressPos_;
    PlayerReorder reorder_;
    std::optional<std::size_t> gap_;
    // What was last drawn: a refresh that changes nothing repaints nothing.
    uint64_t shownRevision_ = 0;
    std::size_t shownCount_ = 0;
    std::optional<Uuid> shownSelection_;
    std::optional<Uuid> shownCurrent_;
};

}  // namespace norvo
