#pragma once
#include <QScrollArea>
#include <QString>

class QVBoxLayout;

namespace norvo {

class DesignerFormSection;

// The grouped form of a designer page: its sections stacked in a vertical scroll area
// that scrolls by itself when the page is taller than the space left to it.
class DesignerForm : public QScrollArea {
    Q_OBJECT
public:
    explicit DesignerForm(QWidget* parent = nullptr);

    DesignerFormSection* addSection(const QString& header, const QString& footer = {});
    // A section shown or hidden as a whole keeps its place in the order.
    QWidget* content() const { return content_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int scrollBarTrack = 12;

    QWidget* content_ = nullptr;
    QVBoxLayout* sections_ = nullptr;
};

}  // namespace norvo
