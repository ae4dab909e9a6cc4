#include "StudioView.hpp"

#include "Designer/CassetteDesignerView.hpp"
#include "Kit/BlackFaceplate.hpp"
#include "Kit/KitShadow.hpp"
#include "Rack/CassetteDeckView.hpp"
#include "Rack/CassetteShelf.hpp"
#include "Rack/LineCables.hpp"
#include "Rack/RackGeometry.hpp"
#include "Rack/SourcePlayerView.hpp"
#include "Rack/WoodGrain.hpp"
#include "RackFaces.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Tuner/TunerView.hpp"

#include <QAction>
#include <QEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QMessageBox>
#include <QPainter>
#include <QResizeEvent>

namespace norvo {

RackContent::RackContent(StudioModel& model, const RackFaces& faces, QWidget* parent)
    : QWidget(parent), wood_(std::make_unique<WoodGrain>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    cables_ = new LineCables(this);
    player_ = new SourcePlayerView(faces.player, this);
    deck_ = new CassetteDeckView(faces.deck, this);
    tuner_ = new TunerView(faces.tuner, this);
    // The model's tick publishes the meters 60 times a second: the tuner face's frame clock.
    connect(&model.live(), &LiveDeck::tunerMeterChanged, tuner_, &TunerView::tick);
    shelf_ = new CassetteShelf(model, this);
    // Devices change height (the deck's busy line, its no-sound line): lay out again when they ask.
    for (QWidget* device : {static_cast<QWidget*>(player_), static_cast<QWidget*>(deck_), static_cast<QWidget*>(tuner_),
                            static_cast<QWidget*>(shelf_)})
        device->installEventFilter(this);
    cables_->lower();
    layoutDevices();
}

RackContent::~RackContent() = default;

QSize RackContent::rackSize() const {
    const int deckColumn =
        deck_->sizeHint().height() + int(RackGeometry::deckTunerSpacing) + tuner_->sizeHint().height();
    const int row = std::max(deckColumn, player_->minimumSizeHint().height());
    const int height = row + int(RackGeometry::shelfSpacing) + shelf_->sizeHint().height();
    const int margin = int(RackGeometry::margin);
    return QSize(int(RackGeometry::shelfWidth) + 2 * margin, height + 2 * margin);
}

void RackContent::layoutDevices() {
    const QSize rack = rackSize();
    // The padded stack is centred in whatever frame the view gives us.
    const double originX = (width() - rack.width()) / 2.0 + RackGeometry::margin;
    const double originY = (height() - rack.height()) / 2.0 + RackGeometry::margin;
    const int deckHeight = deck_->sizeHint().height();
    const int tunerHeight = tuner_->sizeHint().height();
    const int columnHeight = deckHeight + int(RackGeometry::deckTunerSpacing) + tunerHeight;
    const int rowHeight = std::max(columnHeight, player_->minimumSizeHint().height());

    const int x = int(std::lround(originX));
    const int y = int(std::lround(originY));
    const int columnX = x + int(RackGeometry::playerWidth + RackGeometry::columnSpacing);
    const int columnY = y + (rowHeight - columnHeight) / 2;
    player_->setGeometry(x, y, int(RackGeometry::playerWidth), rowHeight);
    deck_->setGeometry(columnX, columnY, int(RackGeometry::deckColumnWidth), deckHeight);
    tuner_->setGeometry(columnX, columnY + deckHeight + int(RackGeometry::deckTunerSpacing),
                        int(RackGeometry::deckColumnWidth), tunerHeight);
    shelf_->setGeometry(x, y + rowHeight + int(RackGeometry::shelfSpacing), int(RackGeometry::shelfWidth),
                        shelf_->sizeHint().height());
    cables_->setGeometry(rect());
    background_ = QPixmap();  // the shadows follow the panels
    cables_->setFrames(QRectF(player_->geometry()), QRectF(deck_->geometry()), QRectF(tuner_->geometry()));
}

void RackContent::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const double ratio = devicePixelRatioF();
    // The wood and the panels' shadows never change on a tick: one cached picture per
    // size and layout.
    if (background_.isNull() || background_.size() != (QSizeF(size()) * ratio).toSize() ||
        background_.devicePixelRatio() != ratio) {
        background_ = QPixmap((QSizeF(size()) * ratio).toSize());
        background_.setDevicePixelRatio(ratio);
        QPainter cache(&background_);
        cache.drawPixmap(0, 0, wood_->pixmap(QSizeF(size()), ratio));
        cache.setRenderHint(QPainter::Antialiasing);
        for (QWidget* device :
             {static_cast<QWidget*>(player_), static_cast<QWidget*>(deck_), static_cast<QWidget*>(tuner_)}) {
            const QRectF panel(device->geometry());
            // Each panel casts a soft shadow onto the wood: black 0.6, radius 18, 12 down.
            KitShadow::paint(cache, QStringLiteral("rack-panel-%1x%2").arg(panel.width()).arg(panel.height()),
                             panel.adjusted(-40, -40, 40, 40), QColor::fromRgbF(0, 0, 0, 0.6f), 18, QPointF(0, 12),
                             [panel](QPainter& p) { p.fillPath(BlackFaceplate::shape(panel), Qt::black); });
        }
    }
    // Copy each dirty rectangle, not their bounding box: the deck's reels and the player's
    // display changing together would otherwise copy most of the wood.
    for (const QRect& dirty : event->region())
        painter.drawPixmap(dirty, background_, QRectF(QPointF(dirty.topLeft()) * ratio, QSizeF(dirty.size()) * ratio));
}

void RackContent::resizeEvent(QResizeEvent*) { layoutDevices(); }

bool RackContent::event(QEvent* event) {
    // A device that changes its size hint (the deck's busy line, its no-sound line) asks its parent, the
    // rack, to lay out again.
    if (event->type() == QEvent::LayoutRequest) {
        layoutDevices();
        emit rackResized();
    }
    return QWidget::event(event);
}

bool RackContent::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::LayoutRequest && watched != this) {
        layoutDevices();
        emit rackResized();
    }
    return QWidget::eventFilter(watched, event);
}

StudioView::StudioView(StudioModel& model, const RackFaces& faces, QWidget* parent) : QWidget(parent), model_(model) {
    setMinimumSize(int(RackGeometry::minimumWidth), int(RackGeometry::minimumHeight));
    content_ = new RackContent(model_, faces, this);
    // A device grew (the deck's busy line, its no-sound line): the scale may have to follow.
    connect(content_, &RackContent::rackResized, this, [this] { fit(); });

    connect(&model_.title(), &WindowTitle::changed, this, [this] { window()->setWindowTitle(model_.title().text()); });
    connect(&model_, &StudioModel::alertChanged, this, &StudioView::showAlert);
    connect(&model_, &StudioModel::showingDesignerChanged, this, &StudioView::showDesigner);
    fit();
}

StudioView::~StudioView() {
    // The alert box and the sheet hold the model in their handlers: close them first.
    delete alertBox_;
    delete designer_;
    // The rack belongs to the proxy while it is scaled; take it back so it goes with us.
    if (proxy_) {
        proxy_->setWidget(nullptr);
        delete content_;
    }
}

void StudioView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    window()->setWindowTitle(model_.title().text());
    model_.start();  // does nothing once started
    showAlert();
    showDesigner();
}

void StudioView::resizeEvent(QResizeEvent*) { fit(); }

void StudioView::fit() {
    const QSizeF window(std::max(width(), int(RackGeometry::minimumWidth)),
                        std::max(height(), int(RackGeometry::minimumHeight)));
    // The devices stand a little taller than the design height: the vertical margins
    // give way first, so the rack keeps its natural size at 1232 × 920.
    scale_ = RackGeometry::scale(window, content_->rackSize().height() - 2 * RackGeometry::margin);
    if (scale_ >= 1) {
        // At natural size the rack is plain widgets: repaints stay as small as the
        // regions that changed.
        if (proxy_) {
            proxy_->setWidget(nullptr);
            delete proxy_;
            proxy_ = nullptr;
            content_->setParent(this);
            content_->show();
            view_->hide();
        }
        content_->setGeometry(rect());
        return;
    }
    // Smaller than the rack: the whole rack is drawn through one uniform scale.
    if (!view_) {
        scene_ = new QGraphicsScene(this);
        view_ = new QGraphicsView(scene_, this);
        view_->setFrameShape(QFrame::NoFrame);
        view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view_->setOptimizationFlags(QGraphicsView::DontSavePainterState);
        view_->setRenderHint(QPainter::SmoothPixmapTransform);
    }
    if (!proxy_) {
        content_->setParent(nullptr);
        proxy_ = scene_->addWidget(content_);
        view_->show();
    }
    const QSize frame(int(std::ceil(window.width() / scale_)), int(std::ceil(window.height() / scale_)));
    view_->setGeometry(rect());
    content_->resize(frame);
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(frame)));
    view_->setTransform(QTransform::fromScale(scale_, scale_));
}

void StudioView::showAlert() {
    const auto& alert = model_.alerts().shown();
    if (!alert) {
        if (alertBox_) alertBox_->close();
        shownAlert_.reset();
        return;
    }
    if (shownAlert_ == alert->id && alertBox_) return;
    if (!isVisible()) return;  // shown once the window appears
    if (alertBox_) {
        alertBox_->disconnect(this);
        alertBox_->close();
        alertBox_->deleteLater();
    }
    auto* box = new QMessageBox(QMessageBox::Warning, alert->title, alert->message, QMessageBox::Ok, window());
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    const QUuid id = alert->id;
    shownAlert_ = id;
    connect(box, &QMessageBox::finished, this, [this, id] {
        // Clear only the alert this box showed: a newer one stays pending.
        AlertSlot& alerts = model_.alerts();
        if (alerts.shown() && alerts.shown()->id == id) alerts.dismiss();
        if (shownAlert_ == id) shownAlert_.reset();
    });
    alertBox_ = box;
    box->open();
}

void StudioView::showDesigner() {
    // A fresh sheet for every showing; it clears the flag itself when it closes.
    if (model_.showingDesigner() && !designer_ && isVisible()) {
        designer_ = new CassetteDesignerView(model_, window());
        // The menus' shortcuts keep working while the sheet has the keyboard, as a menu
        // bar stays usable over a sheet.
        for (QAction* action : window()->findChildren<QAction*>())
            if (!action->shortcut().isEmpty()) designer_->addAction(action);
        designer_->open();
    }
}

}  // namespace norvo
