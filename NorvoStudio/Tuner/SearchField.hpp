#pragma once
#include <QWidget>

#include "Kit/ValuePicture.hpp"

class QAbstractButton;
class QLineEdit;

namespace norvo {

// The guide's search row on display glass: a magnifier, the text field and, while there
// is text, a clear button. Lit (amber rim, brighter magnifier) while the band is a search.
class SearchField final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal height = 22;

    explicit SearchField(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    void setLit(bool lit);
    bool lit() const { return lit_; }
    QLineEdit* lineEdit() const { return field_; }
    QAbstractButton* clearButton() const { return clear_; }

signals:
    void submitted();
    void cleared();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    ValuePicture<bool> picture_;  // lit or not
    QLineEdit* field_;
    QAbstractButton* clear_;
    bool lit_ = false;
};

}  // namespace norvo
