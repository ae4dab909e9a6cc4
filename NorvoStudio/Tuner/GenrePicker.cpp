#include "Tuner/GenrePicker.hpp"

#include <QPainter>

#include "Kit/KitColor.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/Silkscreen.hpp"
#include "Platform/Locale.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

const Silkscreen title{QStringLiteral("GENRE"), 8};
constexpr qreal titleSpacing = 10;

}  // namespace

const std::array<std::string, 32>& GenrePicker::genres() {
    static const std::array<std::string, 32> list = {
        "pop",     "rock",     "jazz",   "classical",   "electronic", "dance",  "house",       "techno",
        "ambient", "chillout", "lounge", "hip hop",     "rnb",        "soul",   "funk",        "blues",
        "metal",   "punk",     "indie",  "alternative", "reggae",     "latin",  "country",     "folk",
        "oldies",  "80s",      "90s",    "news",        "talk",       "sports", "world music", "soundtrack"};
    return list;
}

GenrePicker::GenrePicker(std::optional<std::string> current, std::function<void(const std::string&)> pick,
                         QWidget* parent)
    : QWidget(parent) {
    const qreal top = padding + title.sizeHint().height() + titleSpacing;
    for (std::size_t i = 0; i < genres().size(); ++i) {
        const std::string& tag = genres()[i];
        auto* key = new MiniKey(MiniKeyStyle{.lit = current && *current == tag},
                                KeyLabel::caption(ShownText::plain(Locale::uppercased(tag))), this);
        const int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
        key->setKeyGeometry(
            QRectF(padding + column * (keyWidth + keySpacing), top + row * (20 + keySpacing), keyWidth, 20).toRect());
        connect(key, &QAbstractButton::clicked, this, [pick, tag] { pick(tag); });
        keys_.push_back(key);
    }
    resize(sizeHint());
}

QSize GenrePicker::sizeHint() const {
    const qreal width = columns * keyWidth + (columns - 1) * keySpacing + 2 * padding;
    const qreal height = padding + title.sizeHint().height() + titleSpacing + 8 * 20 + 7 * keySpacing + padding;
    return QSizeF(width, height).toSize();
}

void GenrePicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), KitColor::faceplateBlack);
    title.paint(painter, QRectF(padding, padding, width() - 2 * padding, title.sizeHint().height()),
                Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace norvo
