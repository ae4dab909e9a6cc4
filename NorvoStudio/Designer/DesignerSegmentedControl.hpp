#pragma once
#include <QStringList>
#include <QWidget>

namespace norvo {

// A row of segments of which one is chosen (the page switch and the preview's side
// switch). Click a segment, or with the focus on it use the arrow keys.
class DesignerSegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit DesignerSegmentedControl(QStringList titles, QWidget* parent = nullptr);

    int currentIndex() const { return current_; }
    // Changes the choice without announcing it.
    void setCurrentIndex(int index);
    const QStringList& titles() const { return titles_; }
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The user chose another segment.
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void choose(int index);

    QStringList titles_;
    int current_ = 0;
};

}  // namespace norvo
