#pragma once
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Clock.hpp"
#include "Tuner/TunerFacade.hpp"

class QLineEdit;
class QListView;

namespace norvo {

class MiniKey;

// The country popover's content: "COUNTRY", a filter field and the directory's countries
// with flag, name and station count; a spinner until the list has arrived, or, when the
// load failed, why and a "Try Again" key.
class CountryPicker final : public QWidget {
    Q_OBJECT
public:
    using Country = TunerFacade::Country;

    static constexpr qreal panelWidth = 290;
    static constexpr qreal panelHeight = 340;
    static constexpr qreal padding = 12;
    static constexpr qreal rowHeight = 24;
    // The panel's text: the flags and names of the list.
    static constexpr qreal textSize = 11.5;

    // The spinner turns with `clock`.
    CountryPicker(std::vector<Country> countries, std::optional<std::string> current,
                  std::function<void(const std::string&)> pick, const Clock& clock, QString filter = {},
                  QWidget* parent = nullptr);
    ~CountryPicker() override;

    // The countries the filter lets through, in the list's order: a name containing the
    // text in any case, or a code equal to it in any case.
    static std::vector<Country> filtered(const std::vector<Country>& countries, const QString& filter);

    void setCountries(std::vector<Country> countries);
    // Why the list could not be loaded (the tuner's sentence), shown while it is empty.
    void setLoadError(std::optional<std::string> error);
    void setFilter(const QString& filter);
    QString filter() const;
    // The codes shown now, in order.
    std::vector<std::string> shownCodes() const;
    bool showsSpinner() const;
    bool showsLoadError() const;
    // The sentence shown in place of the list (capitalised like the guide's), or empty.
    QString loadErrorMessage() const;
    MiniKey* tryAgainKey() const { return tryAgain_; }

    // "Try Again" pressed.
    std::function<void()> onTryAgain;
    // Picks the shown row, as a click on it does.
    void clickRow(int row);
    // How a row is drawn, for tests: bold amber for the current country.
    bool rowIsSelected(int row) const;

    QSize sizeHint() const override;

    // One row of the list in `rect`: flag, name (bold amber when selected) and station count.
    static void paintRow(QPainter& painter, const QRectF& rect, const Country& country, bool selected);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    class Model;
    class RowDelegate;
    void refilter();
    QRectF contentRect() const;
    // Below the field, where the list or what stands in for it goes.
    QRectF placeholderRect() const;
    struct FailureLayout;
    FailureLayout failureLayout() const;

    std::vector<Country> countries_;
    std::optional<std::string> current_;
    std::function<void(const std::string&)> pick_;
    const Clock& clock_;
    std::optional<std::string> loadError_;
    QLineEdit* field_;
    QListView* list_;
    Model* model_;
    MiniKey* tryAgain_;
};

}  // namespace norvo
