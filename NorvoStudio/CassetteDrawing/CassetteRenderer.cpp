#include "CassetteRenderer.hpp"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <optional>

#include "AudioEngine/ReelGeometry.hpp"
#include "Cassette/NorvoGeometry.hpp"
#include "CassetteLabel.hpp"
#include "ContinuousCorners.hpp"

namespace norvo {

namespace {

using Shell = NorvoGeometry::Shell;
using Mechanism = NorvoGeometry::Mechanism;
using Label = NorvoGeometry::Label;

QColor grey(double level, double opacity = 1) {
    const auto g = static_cast<float>(level);
    return QColor::fromRgbF(g, g, g, static_cast<float>(opacity));
}
QColor black(double opacity) { return grey(0, opacity); }
QColor white(double opacity) { return grey(1, opacity); }

QPen pen(const QColor& color, double width) {
    QPen p(color, width);
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    return p;
}

QRectF rect(const NorvoGeometry::Rect& r) { return {r.x, r.y, r.width, r.height}; }
QPointF point(const NorvoGeometry::Point& p) { return {p.x, p.y}; }

QRectF circle(QPointF center, double radius) {
    return {center.x() - radius, center.y() - radius, 2 * radius, 2 * radius};
}

QPainterPath roundedRect(const QRectF& r, double radius) { return ContinuousCorners::roundedRect(r, radius); }

QPainterPath circlePath(QPointF center, double radius) {
    QPainterPath path;
    path.addEllipse(circle(center, radius));
    return path;
}

// One drawing pass, in millimetres of the shell; built afresh for every pass.
class CassetteRenderer {
public:
    CassetteRenderer(const CassetteDocument& document, TapeSide side, int64_t head,
                     const std::map<ArtworkRole, QImage>& images, QSizeF size)
        : document_(document), side_(side), head_(head), size_(size), scale_(size.width() / Shell::width) {
        const auto pick = [&](ArtworkRole role) -> const QImage* {
            const auto it = images.find(role);
            return it == images.end() || it->second.isNull() ? nullptr : &it->second;
        };
        faceImage_ = pick(side == TapeSide::a ? ArtworkRole::cassetteFaceA : ArtworkRole::cassetteFaceB);
        labelImage_ = pick(side == TapeSide::a ? ArtworkRole::labelA : ArtworkRole::labelB);
    }

    void draw(QPainter& painter, CassetteLayer layer = CassetteLayer::whole) const {
        painter.save();
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
        painter.scale(scale_, scale_);
        if (layer != CassetteLayer::cover) drawReels(painter);
        if (layer != CassetteLayer::reels) {
            drawShell(painter);
            drawLabel(painter);
            drawWindow(painter);
        }
        painter.restore();
    }

    // The see-through openings (window and both hub openings) grown by d millimetres.
    static QPainterPath windowAndHubHolesPath(double d) {
        // The union is the costly part of a pass and depends on nothing but d.
        static const QPainterPath shell = unitedOpenings(0);
        static const QPainterPath label = unitedOpenings(0.5);
        if (d == 0) return shell;
        if (d == 0.5) return label;
        return unitedOpenings(d);
    }

private:
    static QPainterPath unitedOpenings(double d) {
        const QRectF w = rect(Shell::window).adjusted(-d, -d, d, d);
        const double r = Mechanism::hubOpeningDiameter / 2 + d;
        QPainterPath path = roundedRect(w, 1.5);
        path = path.united(circlePath(point(Mechanism::leftHub), r));
        path = path.united(circlePath(point(Mechanism::rightHub), r));
        return path;
    }

    // A length given in pixels, in millimetres at this pass's scale.
    double pt(double points) const { return points / scale_; }

    void drawReels(QPainter& painter) const {
        const ReelGeometry geometry{document_.type};
        const double rS = 10 * geometry.supplyRadius(head_);
        const double rT = 10 * geometry.takeUpRadius(head_);
        const QPointF left = point(Mechanism::leftHub);
        const QPointF right = point(Mechanism::rightHub);

        QPainterPath tape;
        tape.moveTo(left.x() - rS, left.y());
        tape.lineTo(9, 57.4);
        tape.lineTo(91.4, 57.4);
        tape.lineTo(right.x() + rT, right.y());
        painter.setBrush(Qt::NoBrush);
        painter.setPen(pen(QColor::fromRgbF(0.28f, 0.18f, 0.12f), std::max(0.4, pt(1))));
        painter.drawPath(tape);

        drawPack(painter, left, rS);
        drawPack(painter, right, rT);
        drawHub(painter, left, geometry.supplyTurns(head_));
        drawHub(painter, right, geometry.turns(head_));
    }

    void drawPack(QPainter& painter, QPointF center, double radius) const {
        if (!(radius > 0)) return;
        QRadialGradient gradient(center, radius);
        gradient.setColorAt(0, QColor::fromRgbF(0.3f, 0.2f, 0.14f));
        gradient.setColorAt(0.5, QColor::fromRgbF(0.22f, 0.14f, 0.1f));
        gradient.setColorAt(1, QColor::fromRgbF(0.36f, 0.25f, 0.18f));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(circle(center, radius));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(pen(black(0.35), pt(0.6)));
        painter.drawEllipse(circle(center, radius));
    }

    void drawHub(QPainter& painter, QPointF center, double turns) const {
        constexpr double R = 6;
        painter.save();
        painter.translate(center);
        // Only the fraction of a turn shows; taking it first keeps the angle exact
        // after thousands of turns.
        painter.rotate((turns - std::floor(turns)) * 360.0);

        painter.setBrush(grey(0.93));
        painter.setPen(pen(black(0.3), pt(0.8)));
        painter.drawEllipse(circle({0, 0}, R));
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey(0.12));
        painter.drawEllipse(circle({0, 0}, 0.62 * R));

        const QRectF tooth(-0.11 * R, -pt(0.5) - 0.62 * R, 0.22 * R, 0.42 * 0.62 * R);
        const QPainterPath toothPath = roundedRect(tooth, pt(1));
        for (int k = 0; k < 6; ++k) {
            painter.save();
            painter.rotate(60.0 * k);
            painter.fillPath(toothPath, grey(0.93));
            painter.restore();
        }
        painter.fillRect(QRectF(-pt(0.8), -R, pt(1.6), 0.3 * R), black(0.35));
        painter.restore();
    }

    void drawShell(QPainter& painter) const {
        const QRectF bounds(0, 0, Shell::width, Shell::height);
        const QPainterPath outline = roundedRect(bounds, Shell::cornerRadius);
        QPainterPath shell = outline;
        shell.addPath(windowAndHubHolesPath(0));
        shell.setFillRule(Qt::OddEvenFill);

        if (faceImage_) {
            painter.save();
            painter.setClipPath(shell, Qt::IntersectClip);
            painter.drawImage(bounds, *faceImage_);
            painter.restore();
            painter.strokePath(outline, pen(black(0.55), pt(1)));
            return;
        }

        const bool transparent = document_.design.shellTransparent;
        painter.fillPath(shell, CassetteLabel::color(document_.design.shellColor));
        QLinearGradient sheen(0, 0, 0, size_.height() / scale_);
        sheen.setInterpolationMode(QGradient::ComponentInterpolation);
        sheen.setColorAt(0, white(transparent ? 0.25 : 0.12));
        sheen.setColorAt(0.5, Qt::transparent);
        sheen.setColorAt(1, black(0.18));
        painter.fillPath(shell, sheen);
        painter.strokePath(outline, pen(black(0.55), pt(1)));

        QPolygonF ramp;
        for (const auto& p : Shell::rampOutline) ramp << point(p);
        painter.setBrush(black(transparent ? 0.12 : 0.22));
        painter.setPen(pen(black(0.35), pt(0.8)));
        painter.drawPolygon(ramp);

        painter.setPen(Qt::NoPen);
        painter.setBrush(grey(0.05));
        for (const auto& hole : Shell::rampHoles) painter.drawEllipse(circle(point(hole.center), hole.diameter / 2));
        painter.fillPath(roundedRect(rect(Shell::headOpening), 0.6), grey(0.05));

        for (const auto& center : Shell::screws) {
            const QRectF b = circle(point(center), Shell::screwDiameter / 2);
            painter.setBrush(grey(0.7));
            painter.setPen(pen(black(0.5), pt(0.6)));
            painter.drawEllipse(b);
            painter.setPen(pen(black(0.6), pt(0.8)));
            painter.drawLine(QPointF(b.left() + 0.15 * b.width(), b.center().y() - 0.15 * b.height()),
                             QPointF(b.right() - 0.15 * b.width(), b.center().y() + 0.15 * b.height()));
        }
    }

    void drawLabel(QPainter& painter) const {
        const QRectF bounds(Label::origin.x, Label::origin.y, Label::width, Label::height);
        const QPainterPath outline = roundedRect(bounds, Label::cornerRadius);
        QPainterPath label = outline;
        label.addPath(windowAndHubHolesPath(0.5));
        label.setFillRule(Qt::OddEvenFill);

        painter.save();
        painter.setClipPath(label, Qt::IntersectClip);
        if (labelImage_) painter.drawImage(bounds, *labelImage_);
        else CassetteLabel::drawArtwork(painter, scale_, document_, side_);
        painter.restore();
        painter.strokePath(outline, pen(black(0.25), pt(0.6)));
    }

    void drawWindow(QPainter& painter) const {
        const QRectF w = rect(Shell::window);
        const QPainterPath glass = roundedRect(w, 1.5);
        painter.fillPath(glass, grey(0.1, 0.18));
        QLinearGradient shine(w.topLeft(), w.bottomRight());
        shine.setInterpolationMode(QGradient::ComponentInterpolation);
        shine.setColorAt(0, white(0.22));
        shine.setColorAt(0.5, Qt::transparent);
        shine.setColorAt(1, white(0.05));
        painter.fillPath(glass, shine);
        painter.strokePath(glass, pen(black(0.7), pt(1)));

        painter.setBrush(Qt::NoBrush);
        painter.setPen(pen(black(0.6), pt(1)));
        for (const auto& hub : {Mechanism::leftHub, Mechanism::rightHub})
            painter.drawEllipse(circle(point(hub), Mechanism::hubOpeningDiameter / 2));

        painter.setPen(pen(white(0.35), pt(0.6)));
        for (int i = 0; i < 5; ++i) {
            const double x = w.left() + (0.3 + 0.1 * i) * w.width();
            painter.drawLine(QPointF(x, w.bottom() - 2.0), QPointF(x, w.bottom() - 0.7));
        }
    }

    const CassetteDocument& document_;
    TapeSide side_;
    int64_t head_;
    QSizeF size_;
    double scale_;
    const QImage* faceImage_ = nullptr;
    const QImage* labelImage_ = nullptr;
};

}  // namespace

void renderCassette(QPainter& painter, QSizeF size, const CassetteDocument& document, TapeSide side, int64_t head,
                    const std::map<ArtworkRole, QImage>& images) {
    renderCassette(painter, size, document, side, head, images, CassetteLayer::whole);
}

void renderCassette(QPainter& painter, QSizeF size, const CassetteDocument& document, TapeSide side, int64_t head,
                    const std::map<ArtworkRole, QImage>& images, CassetteLayer layer) {
    if (!(size.width() > 0) || !(size.height() > 0)) return;
    CassetteRenderer(document, side, head, images, size).draw(painter, layer);
}

QImage renderCassetteImage(int width, const CassetteDocument& document, TapeSide side, int64_t head,
                           const std::map<ArtworkRole, QImage>& images) {
    const int height = static_cast<int>(std::lround(width / cassetteAspectRatio));
    if (width <= 0 || height <= 0) return {};
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderCassette(painter, QSizeF(width, width / cassetteAspectRatio), document, side, head, images);
    painter.end();
    return image;
}

}  // namespace norvo
