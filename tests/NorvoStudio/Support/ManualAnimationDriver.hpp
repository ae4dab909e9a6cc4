#pragma once
#include <QAnimationDriver>
#include <QCoreApplication>

namespace norvo::test {

// Moves Qt's animations only when told how much time has passed, so a slide or a fade can be
// looked at halfway. Installed for its lifetime.
class ManualAnimationDriver : public QAnimationDriver {
public:
    ManualAnimationDriver() { install(); }
    ~ManualAnimationDriver() override { uninstall(); }
    // Time since the driver last started, as Qt's animation timer expects it.
    qint64 elapsed() const override { return now_ - startedAt_; }
    void pass(int milliseconds) {
        // Animations just started reach the driver through two queued calls.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        now_ += milliseconds;
        // Only a running driver is advanced: advancing a stopped one would restart Qt's timer
        // on the wall clock.
        if (isRunning()) advance();
        QCoreApplication::processEvents();
    }

protected:
    void start() override {
        startedAt_ = now_;
        QAnimationDriver::start();
    }

private:
    qint64 now_ = 0;
    qint64 startedAt_ = 0;
};

}  // namespace norvo::test
