#include "SourcePlayerView.hpp"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <utility>

#include "Kit/Knob.hpp"
#include "Kit/SilverKey.hpp"
#include "PlayerFacade.hpp"
#include "PlayerProgramList.hpp"
#include "StudioModel/StudioCommands.hpp"

namespace norvo {

namespace {

// A text field keeps the space bar for typing.
bool textInputHasFocus() {
    QWidget* focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
           qobject_cast<QAbstractSpinBox*>(focus);
}

}  // namespace

SourcePlayerView::SourcePlayerView(PlayerFacade& player, QWidget* parent) : QWidget(parent), player_(player) {
    buildControls();
    shown_ = PlayerShown{PlayerReadout::make(PlayerReadout::Inputs::of(player_, scrub_.value())), player_.levels(),
                         program_->dropTargeted()};
    layout_ = PlayerLayout::make(600, shown_.readout.error.has_value());
    resize(sizeHint());
    relayout();
    updateKeys();

    // The player's announcement only schedules a re-read here.
    connect(&player_, &PlayerFacade::changed, this, &SourcePlayerView::refresh);
}

SourcePlayerView::~SourcePlayerView() = default;

QSize SourcePlayerView::sizeHint() const {
    return QSize(designWidth, std::max(static_cast<int>(std::ceil(layout_.minimumHeight)), 560));
}

QSize SourcePlayerView::minimumSizeHint() const {
    return QSize(designWidth, static_cast<int>(std::ceil(layout_.minimumHeight)));
}

bool SourcePlayerView::dropTargeted() const { return program_->dropTargeted(); }

void SourcePlayerView::buildControls() {
    struct KeyDef {
        const char* symbol;
        const char* caption;
    };
    const std::array<KeyDef, 5> defs{KeyDef{"backward.end.fill", "PREV"}, KeyDef{"play.fill", "PLAY/PAUSE"},
                                     KeyDef{"stop.fill", "STOP"}, KeyDef{"forward.end.fill", "NEXT"},
                                     KeyDef{"plus", "OPEN"}};
    for (std::size_t i = 0; i < defs.size(); ++i) {
        keys_[i] =
            new SilverKey(SilverKeyStyle{.width = PlayerLayout::keyWidths[i]},
                          KeyLabel::symbolAbove(QString::fromUtf8(defs[i].symbol), QString::fromUtf8(defs[i].caption)),
                          this);
        // The space bar belongs to PLAY/PAUSE, not to whichever key has focus.
        keys_[i]->setFocusPolicy(Qt::NoFocus);
    }
    connect(keys_[0], &SilverKey::clicked, this, [this] { player_.previous(); });
    connect(keys_[1], &SilverKey::clicked, this, [this] { player_.togglePlayPause(); });
    connect(keys_[2], &SilverKey::clicked, this, [this] { player_.stop(); });
    connect(keys_[3], &SilverKey::clicked, this, [this] { player_.next(); });
    connect(keys_[4], &SilverKey::clicked, this, [this] { player_.chooseFiles(); });
    keys_[4]->setToolTip(StudioCommands::helpText(QStringLiteral("Add MP3 / WAV files"), StudioCommands::Id::addMusic));

    spaceBar_ = new QAction(tr("Play / Pause"), this);
    spaceBar_->setShortcut(QKeySequence(Qt::Key_Space));
    spaceBar_->setShortcutContext(Qt::WindowShortcut);
    connect(spaceBar_, &QAction::triggered, this, [this] {
        if (!textInputHasFocus()) player_.togglePlayPause();
    });
    addAction(spaceBar_);

    volume_ = new Knob(QStringLiteral("VOLUME"), 0.8, PlayerLayout::knobSize, Lettering::dark, this);
    volume_->setBinding([this] { return static_cast<double>(player_.volume()); },
                        [this](double v) { player_.setVolume(static_cast<float>(v)); });

    program_ = new PlayerProgramList(player_, this);
    connect(program_, &PlayerProgramList::dropTargetedChanged, this, [this](bool targeted) {
        PlayerShown now = shown_;
        now.dropTargeted = targeted;
        present(now);
    });
}

void SourcePlayerView::relayout() {
    layout_ = PlayerLayout::make(height(), shown_.readout.error.has_value());
    for (std::size_t i = 0; i < keys_.size(); ++i) keys_[i]->setKeyGeometry(layout_.keys[i].toRect());
    volume_->setLayoutGeometry(layout_.knob.toRect());
    const qreal border = PlayerLayout::listBorder;
    program_->setGeometry(layout_.list.adjusted(border, border, -border, -border).toRect());
    staticLayer_.invalidate();
    update();
}

void SourcePlayerView::updateKeys() {
    const bool playing = shown_.readout.playing;
    SilverKey* play = keys_[1];
    if (play->keyStyle().lit != playing) {
        play->setLit(playing);
        play->setLabel(KeyLabel::symbolAbove(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"),
                                             QStringLiteral("PLAY/PAUSE")));
    }
    // The volume can change elsewhere (the menu, a restored setting): redraw the knob then only.
    if (player_.volume() != shownVolume_) {
        shownVolume_ = player_.volume();
        volume_->update();
    }
}

void SourcePlayerView::refresh() {
    const PlayerShown now{PlayerReadout::make(PlayerReadout::Inputs::of(player_, scrub_.value())), player_.levels(),
                          program_->dropTargeted()};
    program_->refresh();
    present(now);
    if (!now.readout.progressEnabled && scrub_.value()) endScrub(ScrubEnd::cancel);
    updateKeys();
}

void SourcePlayerView::present(const PlayerShown& now) {
    const PlayerShown before = std::exchange(shown_, now);
    if (before.readout.error.has_value() != now.readout.error.has_value()) {
        relayout();  // the error line takes room from the list
        return;
    }
    const PlayerParts::Parts changed = PlayerParts::changed(before, now);
    for (std::size_t i = 0; i < changed.size(); ++i)
        if (changed[i]) updatePart(static_cast<Part>(i));
}

void SourcePlayerView::updatePart(Part part) { update(partRect(part).toAlignedRect()); }

void SourcePlayerView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The region, not its bounding box: a tick dirties small parts far apart.
    const QRegion dirty = event->region();
    staticLayer_.paint(p, size(), dirty, [this](QPainter& s) { PlayerParts::paintPanel(s, layout_, size()); });
    p.setClipRegion(dirty);
    PlayerParts::paint(p, layout_, shown_, dirty);
}

void SourcePlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

// --- Input ------------------------------------------------------------------------------

bool SourcePlayerView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // The error line is cut to the display's width; its help text is the whole sentence.
        auto* help = static_cast<QHelpEvent*>(event);
        const auto& error = shown_.readout.error;
        if (error && partRect(Part::error).contains(help->pos())) {
            QToolTip::showText(help->globalPos(), *error, this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

// --- Scrubbing --------------------------------------------------------------------------

void SourcePlayerView::mousePressEvent(QMouseEvent* event) {
    const QRectF& bar = layout_.bar;
    const QRectF hit = bar.adjusted(0, -4, 0, 4);  // a 5-point groove is hard to hit exactly
    if (event->button() == Qt::LeftButton && shown_.readout.progressEnabled && hit.contains(event->position())) {
        scrubPressed_ = true;
        scrub_.move(event->position().x() - bar.left(), bar.width());
        refresh();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SourcePlayerView::mouseMoveEvent(QMouseEvent* event) {
    if (scrubPressed_) {
        scrub_.move(event->position().x() - layout_.bar.left(), layout_.bar.width());
        refresh();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void SourcePlayerView::mouseReleaseEvent(QMouseEvent* event) {
    if (scrubPressed_) {
        endScrub(ScrubEnd::seek);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void SourcePlayerView::endScrub(ScrubEnd end) {
    scrubPressed_ = false;
    // The total the bar was last drawn with.
    const double total = shown_.readout.progressTotal;
    if (end == ScrubEnd::seek) {
        if (const auto frame = scrub_.release(total)) player_.seek(*frame);
    } else {
        scrub_.cancel();
    }
    refresh();
}

void SourcePlayerView::hideEvent(QHideEvent* event) {
    if (scrubPressed_) endScrub(ScrubEnd::cancel);
    QWidget::hideEvent(event);
}

void SourcePlayerView::changeEvent(QEvent* event) {
    // The release will not arrive: the scrub ends where it was, without a seek.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && scrubPressed_) endScrub(ScrubEnd::cancel);
    QWidget::changeEvent(event);
}

}  // namespace norvo
