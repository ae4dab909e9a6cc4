#include "NorvoStudioApp/StudioShell.hpp"

#include "NorvoStudioApp/QuitController.hpp"
#include "NorvoStudioApp/SingleInstance.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"
#include "NorvoStudioApp/TerminationSignals.hpp"
#include "StudioModel/StudioModel.hpp"

namespace norvo {

StudioShell::StudioShell(StudioModel& model, std::function<void(int)> exit, QObject* parent)
    : QObject(parent),
      model_(model),
      window_(std::make_unique<StudioWindow>(model)),
      quit_(new QuitController(model, std::move(exit), this)) {
    connect(window_.get(), &StudioWindow::quitRequested, quit_, &QuitController::requestQuit);
}

StudioShell::~StudioShell() = default;

void StudioShell::openDocuments(const std::vector<std::filesystem::path>& paths) {
    model_.openDocuments(paths);
}

void StudioShell::acceptHandOvers(SingleInstance& instance) {
    connect(&instance, &SingleInstance::documentsReceived, this, [this](const std::vector<std::filesystem::path>& paths) {
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
