#pragma once
#include <QDialog>
#include <QGraphicsView>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <optional>

class QGraphicsProxyWidget;
class QGraphicsScene;

namespace norvo {

class CassetteDeckView;
class CassetteShelf;
class LineCables;
class SourcePlayerView;
class StudioModel;
class TunerView;
class WoodGrain;
struct RackFaces;

// The rack at its design size: wood, cables behind the devices, the player on the left,
// the deck above the tuner on the right, the shelf across the bottom.
class RackContent final : public QWidget {
    Q_OBJECT
public:
    RackContent(StudioModel& model, const RackFaces& faces, QWidget* parent = nullptr);
    ~RackContent() override;

    SourcePlayerView* player() const { return player_; }
    CassetteDeckView* deck() const { return deck_; }
    TunerView* tuner() const { return tuner_; }
    CassetteShelf* shelf() const { return shelf_; }
    LineCables* cables() const { return cables_; }

    // The padded stack's natural size in design points.
    QSize rackSize() const;

signals:
    void rackResized();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutDevices();

    SourcePlayerView* player_ = nullptr;
    CassetteDeckView* deck_ = nullptr;
    TunerView* tuner_ = nullptr;
    CassetteShelf* shelf_ = nullptr;
    LineCables* cables_ = nullptr;
    std::unique_ptr<WoodGrain> wood_;
    QPixmap background_;
};

// The window's content. Scales the whole rack down uniformly when the window is smaller
// than the design size (never up), titles the window, shows the model's alert, presents
// the designer and starts the model when first shown. Keeps no state of the studio.
class StudioView final : public QWidget {
    Q_OBJECT
public:
    StudioView(StudioModel& model, const RackFaces& faces, QWidget* parent = nullptr);
    ~StudioView() override;

    RackContent* rack() const { return content_; }
    double scale() const { return scale_; }
    QMessageBox* alertBox() const { return alertBox_; }
    QDialog* designerSheet() const { return designer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();
    void showAlert();
    void showDesigner();

    StudioModel& model_;
    QGraphicsScene* scene_ = nullptr;
    QGraphicsView* view_ = nullptr;
    QGraphicsProxyWidget* proxy_ = nullptr;
    RackContent* content_ = nullptr;
    double scale_ = 1;
    QPointer<QMessageBox> alertBox_;
    std::optional<QUuid> shownAlert_;
    QPointer<QDialog> designer_;
};

}  // namespace norvo
