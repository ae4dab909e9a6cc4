#include "DesignerStyleSwatch.hpp"

#include <QPainter>
#include <cmath>

#include "CassetteDrawing/CassetteRenderer.hpp"
#include "CassetteDrawing/ContinuousCorners.hpp"
#include "CassetteDrawing/HandwritingFont.hpp"

namespace norvo {
namespace {
constexpr double padding = 3;
constexpr double spacing = 3;
constexpr int namePixels = 9;
}  // namespace

DesignerStyleSwatch::DesignerStyleSwatch(CassetteStyle style, QWidget* parent)
    : QAbstractButton(parent), style_(std::move(style)), document_(CassetteType::c60(), "", style_.design) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QString::fromStdString(style_.name));
    setToolTip(QString::fromStdString(style_.name));
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setMinimumWidth(10);
}

void DesignerStyleSwatch::showState(const CassetteType& type, bool selected, const QColor& accent) {
    const bool changed = type != document_.type || selected != selected_ || accent != accent_;
    if (type != document_.type) document_ = CassetteDocument(type, "", style_.design);
    selected_ = selected;
    accent_ = accent;
    if (changed) update();
}

int DesignerStyleSwatch::heightForWidth(int width) const {
    const double cassette = (width - 2 * padding) / cassetteAspectRatio;
    return int(std::ceil(2 * padding + cassette + spacing +
                         QFontMetrics(HandwritingFont::system(namePixels)).height()));
}

QSize DesignerStyleSwatch::sizeHint() const { return {100, heightForWidth(100)}; }

void DesignerStyleSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    if (selected_) {
        // Stroked inside the border.
        p.setPen(QPen(accent_, 2));
        p.drawPath(ContinuousCorners::roundedRect(bounds.adjusted(1, 1, -1, -1), 5));
    }
    if (hasFocus()) {
        QColor focus = palette().color(QPalette::Highlight);
        focus.setAlphaF(0.5f);
        p.setPen(QPen(focus, 1, Qt::DotLine));
        p.drawPath(ContinuousCorners::roundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 5));
    }
    const double w = bounds.width() - 2 * padding;
    const QSizeF cassette(w, w / cassetteAspectRatio);
    p.save();
    p.translate(padding, padding);
    renderCassette(p, cassette, document_, TapeSide::a, 0, {});
    p.restore();

    const QFont font = HandwritingFont::system(namePixels);
    p.setFont(font);
    p.setPen(palette().color(QPalette::WindowText));
    const QRectF name(padding, padding + cassette.height() + spacing, w, QFontMetrics(font).height());
    p.drawText(name, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
               QFontMetrics(font).elidedText(QString::fromStdString(style_.name), Qt::ElideRight, int(w)));
    if (isDown()) {
        p.setPen(Qt::NoPen);
        p.fillPath(ContinuousCorners::roundedRect(bounds, 5), QColor(0, 0, 0, 25));
    }
}

}  // namespace norvo
