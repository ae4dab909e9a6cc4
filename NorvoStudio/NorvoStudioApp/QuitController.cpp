#include "NorvoStudioApp/QuitController.hpp"

#include <QPointer>

#include "StudioModel/StudioModel.hpp"

namespace norvo {

QuitController::QuitController(StudioModel& model, std::function<void(int)> exit, QObject* parent)
    : QObject(parent), model_(model), exit_(std::move(exit)) {}

void QuitController::requestQuit() {
    if (pending_ || exited_) return;
    pending_ = true;
    QPointer<QuitController> self(this);
    const auto reply = model_.requestQuit([self](bool quit) {
        if (self) self->finish(quit);
    });
    if (!self) return;
    switch (reply) {
    case StudioModel::QuitReply::now: finish(true); break;
    case StudioModel::QuitReply::cancel: finish(false); break;
    case StudioModel::QuitReply::later: break;  // the save's completion decides
    }
}

void QuitController::terminate() {
    if (exited_) return;
    model_.terminate();
    exited_ = true;
    exit_(0);
}

void QuitController::finish(bool quit) {
    if (exited_) return;
    pending_ = false;
    if (!quit) return;
    exited_ = true;
    exit_(0);
}

}  // namespace norvo
