#pragma once
#include <QElapsedTimer>
#include <QObject>

#include "Platform/MainExecutor.hpp"

namespace norvo {

// The engine's main-thread executor over Qt. Create it on the main thread, before the
// model, and keep it until every engine is gone. `post` may be called from any thread;
// `postAfter` runs a precise single-shot timer on the main thread (hopping there first
// when called elsewhere) and honours its cancel handle; `now` is monotonic seconds.
class QtMainExecutor final : public QObject, public MainExecutor {
    Q_OBJECT
public:
    explicit QtMainExecutor(QObject* parent = nullptr);

    void post(std::function<void()> work) override;
    CancelHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;

private:
    void arm(double due, CancelHandle handle, std::function<void()> work);

    QElapsedTimer clock_;
};

}  // namespace norvo
