#pragma once
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Tuner/TunerFacade.hpp"

class QLineEdit;
class QListView;

namespace norvo {

// The country popover's content: "COUNTRY", a filter field and the directory's countries
// with flag, name and station count, or a spinner until the list has arrived.
class CountryPicker final : public QWidget {
    Q_OBJECT
public:
    using Country = TunerFacade::Country;

    static constexpr qreal panelWidth = 290;
    static constexpr qreal panelHeight = 340;
    static constexpr qreal padding = 12;
    static constexpr qreal rowHeight = 24;

    CountryPicker(std::vector<Country> countries, std::optional<std::string> current,
                  std::function<void(const std::string&)> pick, QString filter = {}, QWidget* parent = nullptr);
    ~CountryPicker() override;

    // The countries the filter lets through, in the list's order: a name containing the
    // text in any case, or a code equal to it in any case.
    static std::vector<Country> filtered(const std::vector<Country>& countries, const QString& filter);

    void setCountries(std::vector<Country> countries);
    void setFilter(const QString& filter);
    QString filter() const;
    // The codes shown now, in order.
    std::vector<std::string> shownCodes() const;
    bool showsSpinner() const;
    // Picks the shown row, as a click on it does.
    void clickRow(int row);
    // How a row is drawn, for tests: bold amber for the current country.
    bool rowIsSelected(int row) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    class Model;
    class RowDelegate;
    void refilter();
    QRectF contentRect() const;

    std::vector<Country> countries_;
    std::optional<std::string> current_;
    std::function<void(const std::string&)> pick_;
    QLineEdit* field_;
    QListView* list_;
    Model* model_;
};

}  // namespace norvo
