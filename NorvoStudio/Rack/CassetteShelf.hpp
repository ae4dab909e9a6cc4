#pragma once
#include <QAbstractButton>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <string>

#include "AudioEngine/CassetteType.hpp"

namespace norvo {

class StudioModel;

// A blank of one standard type on the shelf: its picture and "Blank C60 · 30 min/side".
class ShelfBlank final : public QAbstractButton {
    Q_OBJECT
public:
    ShelfBlank(const CassetteType& type, const std::string& styleID, QWidget* parent = nullptr);

    const CassetteType& type() const { return type_; }
    const std::string& styleID() const { return styleID_; }
    QString caption() const;
    QSize sizeHint() const override;

    static constexpr double pictureWidth = 92;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CassetteType type_;
    std::string styleID_;
    QPixmap picture_;
};

// The row under the deck: one blank of each standard type and the three document actions.
// Holds no state: enable states are read from the model whenever it changes.
class CassetteShelf final : public QWidget {
    Q_OBJECT
public:
    explicit CassetteShelf(StudioModel& model, QWidget* parent = nullptr);

    const std::array<ShelfBlank*, 4>& blanks() const { return blanks_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* designButton() const { return design_; }
    QPushButton* saveButton() const { return save_; }

    // Blank pictures wear these catalogue styles, whatever the blank a click creates.
    static std::string styleForBlank(int position);

private:
    void refresh();

    StudioModel& model_;
    std::array<ShelfBlank*, 4> blanks_{};
    QPushButton* open_ = nullptr;
    QPushButton* design_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace norvo
