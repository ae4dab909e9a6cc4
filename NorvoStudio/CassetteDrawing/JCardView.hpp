#pragma once
#include <QImage>
#include <QWidget>
#include <map>

#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"

namespace norvo {

// The unfolded J-card (back flap, spine, front cover) as a widget: renderJCard() in
// the largest square that fits, centred. Holds only what it is handed.
class JCardView : public QWidget {
    Q_OBJECT
public:
    explicit JCardView(QWidget* parent = nullptr);
    JCardView(CassetteDocument document, std::map<ArtworkRole, QImage> images, QWidget* parent = nullptr);

    const CassetteDocument& document() const { return document_; }
    const std::map<ArtworkRole, QImage>& images() const { return images_; }
    void setDocument(const CassetteDocument& document);
    void setImages(const std::map<ArtworkRole, QImage>& images);

    // The square the card is drawn in.
    QRectF cardRect() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }
    QSize sizeHint() const override { return {240, 240}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CassetteDocument document_;
    std::map<ArtworkRole, QImage> images_;
};

}  // namespace norvo
