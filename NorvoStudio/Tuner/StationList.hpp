#pragma once
#include <QListView>
#include <QStyledItemDelegate>
#include <functional>

#include "Tuner/StationListModel.hpp"
#include "Tuner/TunerFacade.hpp"

class QVariantAnimation;

namespace norvo {

// The guide's list of the band's stations on the display glass: rows drawn as
// StationRow, double-click and Return tune, a context menu per row, and a scroll that
// follows the dial. What the actions do is the guide's (the callbacks).
class StationList final : public QListView {
    Q_OBJECT
public:
    StationList(TunerFacade& tuner, QWidget* parent = nullptr);

    StationListModel& stations() { return model_; }
    // The id of the selected station.
    std::optional<std::string> selection() const;
    void select(const std::string& id);
    // Selects the row and scrolls it to the centre, eased out over 0.2 s.
    void selectAndCentre(const std::string& id);
    // Where the current scroll animation ends (the scroll bar value), for tests.
    int scrollTarget() const { return scrollTarget_; }

    std::function<void(const RadioStation&)> onDoubleClick;
    // Return: whether the key press was taken.
    std::function<bool(const std::optional<std::string>& selection)> onReturn;
    std::function<void(const RadioStation&, QPoint globalPosition)> onContextMenu;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class RowDelegate;
    TunerFacade& tuner_;
    StationListModel model_;
    QVariantAnimation* scroll_;
    int scrollTarget_ = 0;
};

}  // namespace norvo
