#pragma once
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <vector>

namespace norvo {

// Textured metal: a base-colour gradient with thin horizontal streaks from a fixed-seed
// generator, so the streaks are identical at every redraw and every size (a taller piece
// only adds streaks below).
struct BrushedMetal {
    QColor tint = QColor(204, 204, 204);
    bool dark = false;  // the dark metal of the black faceplate; ignores `tint`

    static constexpr unsigned long long seed = 0x538454127B096493ULL;

    struct Streak {
        double y = 0;
        double opacity = 0;
        bool white = false;
        bool operator==(const Streak&) const = default;
    };
    // The streaks of a canvas of `height` (none for a height of 0 or less), top to bottom.
    static std::vector<Streak> streaks(double height);

    // The base colour: white 0.18 when dark, else the tint.
    QColor base() const;
    // The drawing routine: paints the texture over (0, 0)–`size` of `painter`, uncached.
    void draw(QPainter& painter, QSizeF size) const;
    // Paints the texture into `rect`, from a pixmap cached per size, colour and device scale.
    void paint(QPainter& painter, const QRectF& rect) const;
};

}  // namespace norvo
