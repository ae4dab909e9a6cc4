#pragma once
#include <QMainWindow>
#include <string>

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
    // The size the user last gave the window, in the settings.
    static inline const std::string widthKey = "NorvoStudio.window.width";
    static inline const std::string heightKey = "NorvoStudio.window.height";

    StudioWindow(StudioModel& model, const RackFaces& faces, QWidget* parent = nullptr);
    ~StudioWindow() override;

    StudioActions& actions() { return *actions_; }
    // Brings the window to the front, as when a document is handed to the studio.
    void bringToFront();

signals:
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Sizes the window to open on its screen, inside `frame` as far as it is known.
    void fitToScreen(QMargins frame);

    StudioModel& model_;
    StudioActions* actions_;
    QSize opened_;         // the size the studio gave the window, not the user
    bool framed_ = false;  // the window manager's frame was taken into account
};

}  // namespace norvo
