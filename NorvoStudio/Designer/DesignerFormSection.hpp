#pragma once
#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace norvo {

// One section of the designer's grouped form: a header, a rounded box of rows with a
// hairline between neighbours, and an optional footer. Rows are plain widgets; the
// helpers below make the usual labelled rows.
class DesignerFormSection : public QWidget {
    Q_OBJECT
public:
    explicit DesignerFormSection(const QString& header, const QString& footer = {}, QWidget* parent = nullptr);

    QLabel* headerLabel() const { return header_; }
    QLabel* footerLabel() const { return footer_; }
    QWidget* box() const { return box_; }

    // A row: a leading label (none when empty) and the control taking the rest.
    QWidget* addRow(const QString& label, QWidget* control);
    // A row of a label and a value on the trailing edge; returns the value's label.
    QLabel* addValueRow(const QString& label, const QString& value);
    // A row that is the widget itself, full width.
    QWidget* addWidgetRow(QWidget* row);
    // Removes (and deletes) the rows from `first` on.
    void removeRows(int first = 0);
    int rowCount() const;
    QWidget* row(int index) const;

    // Plain-text labels in the form's fonts and colours.
    static QLabel* bodyLabel(const QString& text, QWidget* parent = nullptr);
    static QLabel* captionLabel(const QString& text, QWidget* parent = nullptr);

private:
    QLabel* header_ = nullptr;
    QLabel* footer_ = nullptr;
    QWidget* box_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
};

}  // namespace norvo
