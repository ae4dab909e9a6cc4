#pragma once
#include <QObject>
#include <array>
#include <csignal>

class QSocketNotifier;

namespace norvo {

// SIGTERM, SIGINT and SIGHUP (a session ending, a service manager stopping us, Ctrl+C in
// a terminal) become a signal on the main thread, so the studio can store the tape
// position and stop the output before it exits. The handler itself only writes a byte.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    static constexpr std::array<int, 3> handled{SIGTERM, SIGINT, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace norvo
