#include "CassetteView.hpp"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "CassetteRenderer.hpp"

namespace norvo {

CassetteView::CassetteView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

CassetteView::CassetteView(CassetteDocument document, TapeSide side, int64_t head, std::map<ArtworkRole, QImage> images,
                           QWidget* parent)
    : CassetteView(parent) {
    document_ = std::move(document);
    side_ = side;
    head_ = head;
    images_ = std::move(images);
}

void CassetteView::setDocument(const CassetteDocument& document) {
    if (document == document_) return;
    document_ = document;
    update();
}

void CassetteView::setSide(TapeSide side) {
    if (side == side_) return;
    side_ = side;
    update();
}

void CassetteView::setHead(int64_t head) {
    if (head == head_) return;
    head_ = head;
    update();
}

void CassetteView::setImages(const std::map<ArtworkRole, QImage>& images) {
    // QImage compares pixels; the copy is shallow, so the comparison costs only on change.
    if (images == images_) return;
    images_ = images;
    update();
}

QRectF CassetteView::cassetteRect() const {
    const double w = width();
    const double h = height();
    if (w <= 0 || h <= 0) return {};
    double cw = w;
    double ch = w / cassetteAspectRatio;
    if (ch > h) {
        ch = h;
        cw = h * cassetteAspectRatio;
    }
    return {(w - cw) / 2, (h - ch) / 2, cw, ch};
}

int CassetteView::heightForWidth(int width) const { return static_cast<int>(std::lround(width / cassetteAspectRatio)); }

QSize CassetteView::sizeHint() const { return {251, 160}; }

void CassetteView::paintEvent(QPaintEvent*) {
    const QRectF r = cassetteRect();
    if (r.isEmpty()) return;
    QPainter painter(this);
    painter.translate(r.topLeft());
    renderCassette(painter, r.size(), document_, side_, head_, images_);
}

}  // namespace norvo
