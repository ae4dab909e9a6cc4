#include "Tuner/FlagEmoji.hpp"

#include <QList>
#include <QString>

#include "Platform/Locale.hpp"

namespace norvo {

std::string flagEmoji(const std::string& countryCode) {
    constexpr char32_t shift = 0x1F1A5;
    const QString upper = QString::fromStdString(Locale::uppercased(countryCode));
    QString flag;
    for (const uint scalar : upper.toUcs4()) {
        const char32_t moved = char32_t(scalar) + shift;
        if (moved > 0x10FFFF || (moved >= 0xD800 && moved <= 0xDFFF)) continue;
        flag += QString::fromUcs4(&moved, 1);
    }
    return flag.toStdString();
}

}  // namespace norvo
