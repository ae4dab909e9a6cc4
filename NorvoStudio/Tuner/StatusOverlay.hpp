#pragma once
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "Kit/ValuePicture.hpp"
#include "Platform/Clock.hpp"

namespace norvo {

class MiniKey;

// What the empty station list says: scanning, the directory's error with "Try Again",
// no stations, or that the tuner is off. Shown only while the band has no stations.
class StatusOverlay final : public QWidget {
    Q_OBJECT
public:
    enum class Case { hidden, scanning, error, noStations, tunerOff };

    static Case caseFor(bool bandEmpty, bool loading, const std::optional<std::string>& error, bool isOn);

    // The spinner turns with `clock`.
    explicit StatusOverlay(const Clock& clock, QWidget* parent = nullptr);

    void show(Case which, const std::optional<std::string>& error);
    Case shownCase() const { return case_; }
    // The texts shown, top to bottom (the error capitalised).
    QString message() const;
    MiniKey* tryAgainKey() const { return tryAgain_; }

signals:
    void tryAgain();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    struct Layout;
    Layout layout() const;
    // What the overlay shows: the case, its text and the spinner's bright spoke.
    struct Shown {
        Case shownCase = Case::hidden;
        QString text;
        std::optional<int> spinnerPhase;
        bool operator==(const Shown&) const = default;
    };

    const Clock& clock_;
    Case case_ = Case::hidden;
    ValuePicture<Shown> picture_;
    QString error_;
    MiniKey* tryAgain_;
};

}  // namespace norvo
