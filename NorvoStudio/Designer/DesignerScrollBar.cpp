#include "DesignerScrollBar.hpp"

#include <QScrollBar>

namespace norvo {

void DesignerScrollBar::dress(QScrollBar* bar, Surface surface, int track) {
    const bool vertical = bar->orientation() == Qt::Vertical;
    const QString kind = vertical ? QStringLiteral("vertical") : QStringLiteral("horizontal");
    const QString handle =
        surface == Surface::dark ? QStringLiteral("rgba(255,255,255,70)") : QStringLiteral("rgba(0,0,0,60)");
    const int inset = (track - 6) / 2;
    bar->setStyleSheet(
        QStringLiteral("QScrollBar:%1 { background: transparent; border: none; %2: %3px; margin: 0; }"
                       "QScrollBar::handle:%1 { background: %4; border-radius: 3px; %5: 32px; margin: %6; }"
                       "QScrollBar::add-line:%1, QScrollBar::sub-line:%1 { %7: 0; border: none; background: none; }"
                       "QScrollBar::add-page:%1, QScrollBar::sub-page:%1 { background: transparent; }")
            .arg(kind, vertical ? QStringLiteral("width") : QStringLiteral("height"), QString::number(track), handle,
                 vertical ? QStringLiteral("min-height") : QStringLiteral("min-width"),
                 vertical ? QStringLiteral("2px %1px").arg(inset) : QStringLiteral("%1px 2px").arg(inset),
                 vertical ? QStringLiteral("height") : QStringLiteral("width")));
}

}  // namespace norvo
