#include "StudioModel/QtMainExecutor.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace norvo {

QtMainExecutor::QtMainExecutor(QObject* parent) : QObject(parent) { clock_.start(); }

void QtMainExecutor::post(std::function<void()> work) {
    // A queued call to an object of the main thread is safe from any thread.
    QMetaObject::invokeMethod(
        this, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

CancelHandle QtMainExecutor::postAfter(double seconds, std::function<void()> work) {
    CancelHandle handle;
    const double due = now() + std::max(0.0, seconds);
    if (QThread::currentThread() == thread()) {
        arm(due, handle, std::move(work));
    } else {
        post([this, due, handle, work = std::move(work)]() mutable { arm(due, handle, std::move(work)); });
    }
    return handle;
}

double QtMainExecutor::now() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }

void QtMainExecutor::arm(double due, CancelHandle handle, std::function<void()> work) {
    if (handle.isCancelled()) return;
    // Rounded up: the work never runs before it is due.
    const auto wait = std::chrono::milliseconds(static_cast<int64_t>(std::ceil(std::max(0.0, due - now()) * 1000)));
    QTimer::singleShot(wait, Qt::PreciseTimer, this, [handle, work = std::move(work)] {
        if (!handle.isCancelled()) work();
    });
}

}  // namespace norvo
