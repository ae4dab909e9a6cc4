#pragma once
#include <QMainWindow>

namespace norvo {

class StudioActions;
class StudioModel;
struct RackFaces;

// The one window of the studio: the rack as content, the menu bar, the title of the
// cassette in the deck. Closing it asks to quit, as the Quit command does; it never
// just disappears, since a studio without its window could not be reached again.
class StudioWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 1232;
    static constexpr int defaultHeight = 948;
    static constexpr int minimumContentWidth = 924;
    static constexpr int minimumContentHeight = 690;

    StudioWindow(StudioModel& model, const RackFaces& faces, QWidget* parent = nullptr);
    ~StudioWindow() override;

    StudioActions& actions() { return *actions_; }
    // Brings the window to the front, as when a document is handed to the studio.
    void bringToFront();

signals:
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    StudioModel& model_;
    StudioActions* actions_;
};

}  // namespace norvo
