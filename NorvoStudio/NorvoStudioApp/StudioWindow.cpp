#include "NorvoStudioApp/StudioWindow.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>

#include "NorvoStudioApp/StudioActions.hpp"
#include "NorvoStudioApp/StudioMenuBar.hpp"
#include "NorvoStudioApp/StudioView.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

StudioWindow::StudioWindow(StudioModel& model, const RackFaces& faces, QWidget* parent)
    : QMainWindow(parent), model_(model), actions_(new StudioActions(model, this)) {
    setObjectName(QStringLiteral("studio"));
    setWindowTitle(model_.windowTitle());
    connect(&model_, &StudioModel::windowTitleChanged, this, [this] { setWindowTitle(model_.windowTitle()); });

    auto* content = new StudioView(model_, faces, this);
    content->setMinimumSize(minimumContentWidth, minimumContentHeight);
    setCentralWidget(content);

    StudioMenuBar::build(*menuBar(), *actions_);
    connect(actions_, &StudioActions::quitRequested, this, &StudioWindow::quitRequested);
    resize(defaultWidth, defaultHeight);
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

}  // namespace norvo
