#include "JCardView.hpp"

#include <QPaintEvent>
#include <QPainter>

#include "JCardRenderer.hpp"

namespace norvo {

JCardView::JCardView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

JCardView::JCardView(CassetteDocument document, std::map<ArtworkRole, QImage> images, QWidget* parent)
    : JCardView(parent) {
    document_ = std::move(document);
    images_ = std::move(images);
}

void JCardView::setDocument(const CassetteDocument& document) {
    if (document == document_) return;
    document_ = document;
    update();
}

void JCardView::setImages(const std::map<ArtworkRole, QImage>& images) {
    if (images == images_) return;
    images_ = images;
    update();
}

QRectF JCardView::cardRect() const { return jcardRect(QSizeF(size())); }

void JCardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    renderJCard(painter, QSizeF(size()), document_, images_);
}

}  // namespace norvo
