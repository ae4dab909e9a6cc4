#pragma once
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace norvo {

class MiniKey;

// The genre popover's content: "GENRE" over eight rows of four small keys, one per tag;
// the band's genre lit. Picking calls `pick` with the tag as the directory spells it.
class GenrePicker final : public QWidget {
    Q_OBJECT
public:
    static const std::array<std::string, 32>& genres();

    static constexpr int columns = 4;
    static constexpr qreal keyWidth = 86;
    static constexpr qreal keySpacing = 6;
    static constexpr qreal padding = 14;

    GenrePicker(std::optional<std::string> current, std::function<void(const std::string&)> pick,
                QWidget* parent = nullptr);

    const std::vector<MiniKey*>& keys() const { return keys_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<MiniKey*> keys_;
};

}  // namespace norvo
