#pragma once
#include <QWidget>
#include <functional>
#include <optional>

#include "Kit/ValuePicture.hpp"
#include "Radio/RadioStation.hpp"
#include "Tuner/Haptics.hpp"
#include "Tuner/PresetHold.hpp"

class QMenu;

namespace norvo {

// One of the eight preset keys: its lamp, the numbered key and the stored station's
// name. A click tunes, a 1.1 s hold stores; the context menu stores or clears.
class PresetKey final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal layoutWidth = 39;
    static constexpr qreal keyWidth = 35;
    static constexpr qreal keyHeight = 34;

    PresetKey(int number, MainExecutor& executor, Haptics& haptics, QWidget* parent = nullptr);

    void setStation(std::optional<RadioStation> station);
    void setCurrent(bool current);
    void setMemoryArmed(bool armed);
    const std::optional<RadioStation>& station() const { return station_; }
    bool current() const { return current_; }
    bool memoryArmed() const { return memoryArmed_; }
    int number() const { return number_; }

    std::function<void()> onTap;
    std::function<void()> onHold;
    std::function<void()> onClear;

    const PresetHold& hold() const { return hold_; }
    // The menu the key's context menu shows.
    std::unique_ptr<QMenu> contextMenu();
    QString help() const;

    // The key's layout rectangle (lamp, key, name) inside the widget, and the cap's.
    static QSizeF layoutSize();
    QRectF layoutRect() const;
    QRectF keyRect() const;
    void setLayoutGeometry(const QRect& layout);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void hideEvent(QHideEvent*) override;
    void changeEvent(QEvent*) override;

private:
    // What the key shows: its lamp, its cap and the stored station's name.
    struct Shown {
        bool current = false;
        bool memoryArmed = false;
        bool held = false;
        bool stored = false;
        QString name;
        bool operator==(const Shown&) const = default;
    };

    void refreshHelp();
    int number_;
    Haptics& haptics_;
    PresetHold hold_;
    std::optional<RadioStation> station_;
    bool current_ = false;
    bool memoryArmed_ = false;
    ValuePicture<Shown> picture_;
};

}  // namespace norvo
