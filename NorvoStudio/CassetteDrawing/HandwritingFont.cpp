#include "HandwritingFont.hpp"

namespace norvo {

QString HandwritingFont::family(FontRole role) {
    switch (role) {
    case FontRole::marker: return QStringLiteral("Yusei Magic");
    case FontRole::pen: return QStringLiteral("Comic Neue");
    case FontRole::typewriter: return QStringLiteral("Courier Prime Code");
    case FontRole::sans: return QStringLiteral("Inter");
    case FontRole::serif: return QStringLiteral("Linux Libertine O");
    case FontRole::stencil: return QStringLiteral("League Spartan");
    }
    return QStringLiteral("Inter");
}

QFont HandwritingFont::font(FontRole role, int pixelSize) {
    QFont font(family(role));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 1);
    if (role == FontRole::sans) font.setWeight(QFont::DemiBold);
    if (role == FontRole::stencil) font.setWeight(QFont::ExtraBold);
    return font;
}

ScaledText HandwritingFont::lettering(FontRole role, double size) {
    return ScaledText(font(role, 12), size, ScaledText::LineBox::evenRule);
}

QFont HandwritingFont::system(int pixelSize, QFont::Weight weight, int stretch) {
    QFont font(QStringLiteral("Inter"));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 1);
    font.setWeight(weight);
    font.setStretch(stretch);
    return font;
}

}  // namespace norvo
