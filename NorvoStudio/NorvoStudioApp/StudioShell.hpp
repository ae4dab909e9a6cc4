#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>

namespace norvo {

class QuitController;
class SingleInstance;
class StudioModel;
class TerminationSignals;
class StudioWindow;
struct RackFaces;

// The application around the model: the window with its menus (set, like its dialogs, in the
// faces' typeface), the quit decision for the Quit command and the close button, and
// documents from the command line and from later launches.
class StudioShell final : public QObject {
    Q_OBJECT
public:
    // `exit` ends the application with a status once the quit is decided.
    StudioShell(StudioModel& model, const RackFaces& faces, std::function<void(int)> exit, QObject* parent = nullptr);
    ~StudioShell() override;

    StudioWindow& window() { return *window_; }
    QuitController& quit() { return *quit_; }

    // Hands the documents to the model in order; before the window first shows the model
    // keeps them until it starts.
    void openDocuments(const std::vector<std::filesystem::path>& paths);
    // Documents handed over by later launches open here, and the window comes forward.
    void acceptHandOvers(SingleInstance& instance);
    // Ended from outside (logout, a service manager, Ctrl+C in a terminal): see
    // QuitController::terminate().
    void acceptTermination(TerminationSignals& watcher);

private:
    StudioModel& model_;
    std::unique_ptr<StudioWindow> window_;
    QuitController* quit_;
};

}  // namespace norvo
