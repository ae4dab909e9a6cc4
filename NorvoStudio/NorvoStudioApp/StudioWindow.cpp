#include "NorvoStudioApp/StudioWindow.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "NorvoStudioApp/OpeningSize.hpp"
#include "NorvoStudioApp/StudioActions.hpp"
#include "NorvoStudioApp/StudioMenuBar.hpp"
#include "NorvoStudioApp/StudioView.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

namespace {

// The size the user left the window at; nothing for a value no window could have (a settings
// file edited by hand).
std::optional<QSize> savedSize(const DefaultsStore& defaults) {
    const auto width = defaults.number(StudioWindow::widthKey), height = defaults.number(StudioWindow::heightKey);
    const auto usable = [](std::optional<double> side) { return side && *side >= 1 && *side <= 100000; };
    if (!usable(width) || !usable(height)) return std::nullopt;
    return QSize(int(*width), int(*height));
}

}  // namespace

StudioWindow::StudioWindow(StudioModel& model, const RackFaces& faces, QWidget* parent)
    : QMainWindow(parent), model_(model), actions_(new StudioActions(model, this)) {
    setObjectName(QStringLiteral("studio"));
    const WindowTitle& title = model_.title();
    setWindowTitle(title.text());
    connect(&title, &WindowTitle::changed, this, [this, &title] { setWindowTitle(title.text()); });

    auto* content = new StudioView(model_, faces, this);
    content->setMinimumSize(minimumContentWidth, minimumContentHeight);
    setCentralWidget(content);

    StudioMenuBar::build(*menuBar(), *actions_);
    connect(actions_, &StudioActions::quitRequested, this, &StudioWindow::quitRequested);
    fitToScreen(QMargins());
}

StudioWindow::~StudioWindow() = default;

void StudioWindow::bringToFront() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void StudioWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit quitRequested();
}

void StudioWindow::fitToScreen(QMargins frame) {
    const QScreen* on = screen();
    opened_ = OpeningSize{.available = on ? on->availableGeometry().size() : QSize(),
                          .frame = frame,
                          .saved = savedSize(model_.defaults()),
                          .preferred = QSize(defaultWidth, defaultHeight),
                          .minimum = minimumSizeHint().expandedTo(minimumSize())}
                  .fitted();
    resize(opened_);
}

void StudioWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The window manager's frame is known only once it has framed the shown window: a window
    // that the frame pushes past the screen's edge is fitted again, unless the user sized it.
    if (framed_ || !isVisible() || !windowHandle()) return;
    const QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull()) return;
    framed_ = true;
    if (size() == opened_) fitToScreen(frame);
}

void StudioWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // A size the user chose is kept for the next start; a maximised window keeps the one it had.
    if (!isVisible() || size() == opened_ ||
        (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        return;
    model_.defaults().setNumber(widthKey, width());
    model_.defaults().setNumber(heightKey, height());
}

}  // namespace norvo
