#pragma once
#include <QColor>

namespace norvo {

// The studio palette, shared by every device face. All colours are sRGB at opacity 1.
struct KitColor {
    static inline const QColor studioBrown = QColor::fromRgbF(0.23f, 0.16f, 0.11f);
    static inline const QColor studioBrownDark = QColor::fromRgbF(0.12f, 0.08f, 0.06f);
    static inline const QColor faceplateBlack = QColor::fromRgbF(0.07f, 0.07f, 0.08f);
    static inline const QColor silkscreenLight = QColor::fromRgbF(0.78f, 0.78f, 0.78f);
    static inline const QColor silkscreenDark = QColor::fromRgbF(0.25f, 0.25f, 0.25f);
    static inline const QColor displayGlass = QColor::fromRgbF(0.03f, 0.05f, 0.05f);
    static inline const QColor displayCyan = QColor::fromRgbF(0.42f, 0.95f, 0.93f);
    static inline const QColor amber = QColor::fromRgbF(1.0f, 0.72f, 0.28f);
    static inline const QColor ledRed = QColor::fromRgbF(1.0f, 0.16f, 0.12f);
    static inline const QColor ledGreen = QColor::fromRgbF(0.35f, 1.0f, 0.45f);

    // A control that cannot be used now keeps its body and dims its lettering (captions,
    // symbols, lamps) to this opacity.
    static constexpr double disabledOpacity = 0.4;

    // A grey given by one white level for red, green and blue.
    static QColor white(double level, double opacity = 1.0) {
        return QColor::fromRgbF(float(level), float(level), float(level), float(opacity));
    }
    // `color` with its opacity multiplied by `opacity`.
    static QColor faded(QColor color, double opacity) {
        color.setAlphaF(float(color.alphaF() * opacity));
        return color;
    }
};

}  // namespace norvo
