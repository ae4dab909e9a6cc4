#include "NorvoStudioApp/StudioShell.hpp"

#include <QApplication>

#include "Kit/KitFont.hpp"
#include "NorvoStudioApp/QuitController.hpp"
#include "NorvoStudioApp/SingleInstance.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"
#include "NorvoStudioApp/TerminationSignals.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

namespace {

// Menus, dialogs and help texts are set in the faces' system typeface, at the size the desktop
// gives, not in Qt's fallback family beside the faces' lettering.
void useTheFacesTypeface() {
    QFont font = QApplication::font();
    if (font.families() == QStringList{KitFont::systemFamily}) return;
    font.setFamilies({KitFont::systemFamily});
    QApplication::setFont(font);
}

}  // namespace

StudioShell::StudioShell(StudioModel& model, const RackFaces& faces, std::function<void(int)> exit, QObject* parent)
    : QObject(parent), model_(model) {
    // Before the first widget: a widget keeps the font it was made with.
    useTheFacesTypeface();
    window_ = std::make_unique<StudioWindow>(model, faces);
    quit_ = new QuitController(model, std::move(exit), this);
    connect(window_.get(), &StudioWindow::quitRequested, quit_, &QuitController::requestQuit);
}

StudioShell::~StudioShell() = default;

void StudioShell::openDocuments(const std::vector<std::filesystem::path>& paths) { model_.openDocuments(paths); }

void StudioShell::acceptHandOvers(SingleInstance& instance) {
    connect(&instance, &SingleInstance::documentsReceived, this,
            [this](const std::vector<std::filesystem::path>& paths) {
                // Raise the window first, so a prompt the documents open stays above it.
                window_->bringToFront();
                openDocuments(paths);
            });
}

}  // namespace norvo

namespace norvo {

void StudioShell::acceptTermination(TerminationSignals& watcher) {
    connect(&watcher, &TerminationSignals::terminationRequested, quit_, &QuitController::terminate);
}

}  // namespace norvo
