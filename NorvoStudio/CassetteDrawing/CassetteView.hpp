#pragma once
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <map>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"

namespace norvo {

// The drawn cassette as a widget: renderCassette() in the largest 100.4 : 63.8
// rectangle that fits, centred. Holds only what it is handed; the owner hands in a new
// head position or document to redraw. Transparent around the cassette.
class CassetteView : public QWidget {
    Q_OBJECT
public:
    explicit CassetteView(QWidget* parent = nullptr);
    CassetteView(CassetteDocument document, TapeSide side, int64_t head, std::map<ArtworkRole, QImage> images,
                 QWidget* parent = nullptr);

    const CassetteDocument& document() const { return document_; }
    TapeSide side() const { return side_; }
    int64_t head() const { return head_; }
    const std::map<ArtworkRole, QImage>& images() const { return images_; }

    // Each setter repaints only when the value changed.
    void setDocument(const CassetteDocument& document);
    void setSide(TapeSide side);
    void setHead(int64_t head);
    void setImages(const std::map<ArtworkRole, QImage>& images);

    // Where the cassette is drawn inside the widget.
    QRectF cassetteRect() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CassetteDocument document_;
    TapeSide side_ = TapeSide::a;
    int64_t head_ = 0;
    std::map<ArtworkRole, QImage> images_;
};

}  // namespace norvo
