#pragma once
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <optional>

namespace norvo {

// One line of display text that scrolls left in a seamless loop when it is lit and does
// not fit: 1.6 s still, then 30 points a second, a second copy 56 points behind. The
// offset is a function of the time since the text was set; a new text starts over.
class MarqueeText {
public:
    static constexpr double pause = 1.6;
    static constexpr double speed = 30;
    static constexpr double gap = 56;
    static constexpr double tolerance = 0.5;

    static double cycle(double textWidth) { return (textWidth + gap) / speed + pause; }
    static double offset(double elapsed, double textWidth);
    static bool scrolls(bool lit, double textWidth, double boxWidth) { return lit && textWidth > boxWidth + tolerance; }

    // Sets the text; a different one restarts the cycle at `now` (seconds).
    void setText(const QString& text, double now);
    const QString& text() const { return text_; }
    double start() const { return start_; }

    double elapsed(double now) const { return now - start_; }

    // Draws `text` as GlowText in `box`, `elapsed` seconds after it was set. Its letters stay
    // inside the box; its glow spreads beyond, as far as the painter's clip (the display's) allows.
    static void paint(QPainter& painter, const QString& text, const QRectF& box, qreal size, const QColor& color,
                      bool lit, double elapsed);
    // Whether the text is moving at these inputs (the owner repaints it every frame then).
    bool moving(qreal size, bool lit, double boxWidth) const;

private:
    struct Width {
        qreal size;
        double width;
    };

    QString text_;
    double start_ = 0;
    bool started_ = false;
    mutable std::optional<Width> measured_;  // the text's width at a size, for moving()
};

}  // namespace norvo
