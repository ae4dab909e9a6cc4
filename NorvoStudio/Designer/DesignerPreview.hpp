#pragma once
#include <QImage>
#include <QWidget>
#include <vector>

#include "AudioEngine/TapeSide.hpp"

class QLabel;
class QScrollArea;
class QHBoxLayout;

namespace norvo {

class CassetteView;
class DesignerSegmentedControl;
class DocumentEditor;
class JCardView;
class LiveDeck;

// The designer's left column on the brown studio background: the drawn cassette of the
// chosen side at the deck's head position, the side switch, the J-card and, when the
// cassette has booklet panels, the booklet strip. Follows the editor and the live deck.
class DesignerPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int columnWidth = 460;
    static constexpr int padding = 24;

    DesignerPreview(DocumentEditor& editor, const LiveDeck& live, QWidget* parent = nullptr);

    TapeSide side() const { return side_; }
    void setSide(TapeSide side);

    void showDocument();
    void showImages();
    void showBooklet();
    void showHead();

    CassetteView* cassette() const { return cassette_; }
    JCardView* jcard() const { return jcard_; }
    DesignerSegmentedControl* sideSwitch() const { return sideSwitch_; }
    // The booklet strip; hidden without panels.
    QWidget* booklet() const { return booklet_; }
    int bookletCells() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DocumentEditor& editor_;
    const LiveDeck& live_;
    TapeSide side_ = TapeSide::a;
    QScrollArea* scroll_ = nullptr;
    CassetteView* cassette_ = nullptr;
    DesignerSegmentedControl* sideSwitch_ = nullptr;
    JCardView* jcard_ = nullptr;
    QWidget* booklet_ = nullptr;
    QWidget* cells_ = nullptr;
    QHBoxLayout* cellRow_ = nullptr;
    std::vector<QImage> shownBooklet_;
};

}  // namespace norvo
