#pragma once
#include <QAbstractButton>

#include "Cassette/CassetteDocument.hpp"
#include "Cassette/CassetteStyle.hpp"

namespace norvo {

// One cell of the style grid: the style drawn as a blank cassette of the loaded type
// (side A, head 0, no artwork) over the style's name, ringed in the accent colour when
// it is the document's style. Clicking it applies the style.
class DesignerStyleSwatch : public QAbstractButton {
    Q_OBJECT
public:
    DesignerStyleSwatch(CassetteStyle style, QWidget* parent = nullptr);

    const CassetteStyle& style() const { return style_; }
    // The loaded cassette's type (its badge) and whether the ring shows, in `accent`.
    void showState(const CassetteType& type, bool selected, const QColor& accent);
    bool selected() const { return selected_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CassetteStyle style_;
    CassetteDocument document_;
    bool selected_ = false;
    QColor accent_;
};

}  // namespace norvo
