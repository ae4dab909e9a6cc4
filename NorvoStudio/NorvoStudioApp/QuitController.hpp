#pragma once
#include <functional>

#include <QObject>

namespace norvo {

class StudioModel;

// Runs the studio's quit decision for the Quit command and the window's close button
// alike, and ends the application only when the model agrees, at once or after its save.
// Requests made while one is being decided are ignored.
class QuitController final : public QObject {
    Q_OBJECT
public:
    // `exit` ends the application with the given status.
    QuitController(StudioModel& model, std::function<void(int)> exit, QObject* parent = nullptr);

    void requestQuit();
    // Ended from outside (a termination signal): nobody is there to answer a prompt, so
    // the model keeps what is unsaved for the next start (StudioModel::terminate()) and
    // the application ends at once.
    void terminate();
    bool isPending() const { return pending_; }

private:
    void finish(bool quit);

    StudioModel& model_;
    std::function<void(int)> exit_;
    bool pending_ = false;
    bool exited_ = false;
};

}  // namespace norvo
