#pragma once
#include <optional>
#include <vector>

#include <QObject>
#include <QString>
#include <QUuid>

namespace norvo {

// The studio's single alert slot: the one alert shown at a time. An alert replaces what
// is shown; a notice never does: it waits until the slot is free, and is not repeated
// while the same one is shown or waiting. A notice that an alert displaced comes back
// after that alert. Main thread only.
class AlertSlot final : public QObject {
    Q_OBJECT
public:
    struct Alert {
        QUuid id;  // fresh for every alert
        QString title;
        QString message;
        bool operator==(const Alert&) const = default;
    };

    explicit AlertSlot(QObject* parent = nullptr) : QObject(parent) {}

    const std::optional<Alert>& shown() const { return shown_; }
    void dismiss();
    void raise(const QString& title, const QString& message);
    void notice(const QString& title, const QString& message);
    // Notices of this title no longer hold: the one shown goes, as do those waiting.
    void withdraw(const QString& title);

signals:
    void changed();

private:
    std::optional<Alert> shown_;
    // Notices wait here for the slot; one that an alert displaces comes back after it.
    std::vector<Alert> waitingNotices_;
    std::optional<QUuid> noticeShown_;
};

}  // namespace norvo
