#pragma once
#include <QPushButton>

namespace norvo {

// A push key of the designer: its title keeps clear of the bevel, however long it is
// (the platform key leaves a long title a few pixels of room). Never a default key
// unless made one.
class DesignerKey final : public QPushButton {
    Q_OBJECT
public:
    // Room on each side of the title, in pixels.
    static constexpr int titlePadding = 14;

    explicit DesignerKey(const QString& title, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

}  // namespace norvo
