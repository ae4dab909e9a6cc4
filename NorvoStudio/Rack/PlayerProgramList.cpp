#include "PlayerProgramList.hpp"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/SystemSymbol.hpp"
#include "PlayerDrop.hpp"
#include "PlayerFacade.hpp"
#include "PlayerReadout.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

constexpr qreal rowInset = 4;      // the selection highlight stands clear of the glass edge
constexpr qreal textPadding = 10;  // from the row's edge to its number and length
constexpr qreal dragThreshold = 4;

QColor selectionColor(bool focused) {
    return focused ? QColor::fromRgbF(0.05f, 0.35f, 0.78f) : KitColor::white(1, 0.16);
}

}  // namespace

PlayerProgramList::PlayerProgramList(PlayerFacade& player, QWidget* parent)
    : QAbstractScrollArea(parent), player_(player) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(rowHeight);
    verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 1px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,70); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    refresh();
}

void PlayerProgramList::refresh() {
    const auto& tracks = player_.tracks();
    const auto& change = player_.lastTracksChange();
    const bool listChanged = change.revision != shownRevision_;
    const bool countChanged = tracks.size() != shownCount_;
    if (listChanged) {
        // A press that may still become a drag survives only while its track does.
        if (pressedTrack_ && !PlayerReadout::indexOf(tracks, pressedTrack_)) pressedTrack_.reset();
        if (countChanged) updateScrollRange();
        if (change.fromRevision != shownRevision_ || tracks.empty() || shownCount_ == 0) {
            viewport()->update();  // missed a step, or the drop hint comes or goes
        } else {
            // Rows that moved up or vanished leave their old places to be cleared too.
            updateRows(change.firstRow, countChanged ? std::max(tracks.size(), shownCount_) : change.endRow);
        }
        shownRevision_ = change.revision;
        shownCount_ = tracks.size();
    }
    // The rows that gain or lose the highlight or the amber title.
    for (auto* shown : {&shownSelection_, &shownCurrent_}) {
        const std::optional<Uuid>& now = shown == &shownSelection_ ? player_.selection() : player_.currentTrackID();
        if (*shown == now) continue;
        for (const auto& id : {*shown, now})
            if (const auto row = PlayerReadout::indexOf(tracks, id)) updateRows(*row, *row + 1);
        *shown = now;
    }
}

void PlayerProgramList::updateRows(std::size_t first, std::size_t end) {
    if (first >= end) return;
    const QRect rows = rowRect(first).united(rowRect(end - 1)).intersected(viewport()->rect());
    if (!rows.isEmpty()) viewport()->update(rows);
}

void PlayerProgramList::updateScrollRange() {
    const int content = static_cast<int>(player_.tracks().size()) * rowHeight;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
}

QRect PlayerProgramList::rowRect(std::size_t index) const {
    return QRect(0, static_cast<int>(index) * rowHeight - verticalScrollBar()->value(), viewport()->width(), rowHeight);
}

std::optional<std::size_t> PlayerProgramList::rowAt(QPointF pos) const {
    const double y = pos.y() + verticalScrollBar()->value();
    if (y < 0) return std::nullopt;
    const auto index = static_cast<std::size_t>(y / rowHeight);
    if (index >= player_.tracks().size()) return std::nullopt;
    return index;
}

void PlayerProgramList::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const auto& tracks = player_.tracks();
    const QRectF area = viewport()->rect();

    if (tracks.empty()) {
        // The hint to drop files, centred; it takes no input of its own.
        const QColor ink = KitColor::faded(KitColor::displayCyan, 0.4);
        const QFont text = KitFont::system(11);
        const QSizeF symbol = SystemSymbol::size(QStringLiteral("music.note.list"), 26);
        const qreal textHeight = QFontMetricsF(text).height();
        const qreal top = area.center().y() - (symbol.height() + 6 + textHeight) / 2;
        SystemSymbol::paint(p, QStringLiteral("music.note.list"), QPointF(area.center().x(), top + symbol.height() / 2),
                            26, QFont::Light, ink);
        p.setFont(text);
        p.setPen(ink);
        p.drawText(QRectF(area.left(), top + symbol.height() + 6, area.width(), textHeight), Qt::AlignCenter,
                   tr("Drop MP3 or WAV files here"));
        return;
    }

    const QFont numberFont = KitFont::monospaced(11, QFont::Medium);
    const QColor figureInk = KitColor::faded(KitColor::displayCyan, 0.7);
    const int first = std::max(0, verticalScrollBar()->value() / rowHeight);
    for (std::size_t i = static_cast<std::size_t>(first); i < tracks.size(); ++i) {
        const QRectF row = rowRect(i);
        if (row.top() > area.bottom()) break;
        const SourceTrack& track = tracks[i];
        const bool current = player_.currentTrackID() == track.id;
        if (player_.selection() == track.id) {
            p.setPen(Qt::NoPen);
            p.setBrush(selectionColor(hasFocus()));
            p.drawRoundedRect(row.adjusted(rowInset, 1, -rowInset, -1), 4, 4);
        }
        const QRectF text = row.adjusted(rowInset + textPadding, 0, -(rowInset + textPadding), 0);
        p.setFont(numberFont);
        p.setPen(figureInk);
        const QString number = PlayerReadout::rowNumber(i);
        const qreal numberWidth = QFontMetricsF(numberFont).horizontalAdvance(number);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, number);
        const QString length = PlayerReadout::lengthText(track.durationFrames);
        const qreal lengthWidth = QFontMetricsF(numberFont).horizontalAdvance(length);
        p.drawText(text, Qt::AlignRight | Qt::AlignVCenter, length);

        const QFont titleFont = KitFont::system(12, current ? QFont::Bold : QFont::Normal);
        p.setFont(titleFont);
        p.setPen(current ? KitColor::amber : KitColor::white(0.85));
        const QRectF titleRect(text.left() + numberWidth + 10, text.top(),
                               std::max(0.0, text.width() - numberWidth - 10 - lengthWidth - 10), text.height());
        // Titles are file names: drawn as plain text, on one line.
        p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(titleFont).elidedText(ShownText::isolated(track.title), Qt::ElideRight,
                                                       titleRect.width()));
    }

    if (reorder_.active() && gap_) {
        const qreal y = static_cast<qreal>(*gap_) * rowHeight - verticalScrollBar()->value();
        p.setPen(QPen(KitColor::amber, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(rowInset + 2, y), QPointF(area.right() - rowInset - 2, y));
    }
}

void PlayerProgramList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

bool PlayerProgramList::viewportEvent(QEvent* event) {
    // Keeps the focused and unfocused selection colours apart.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) viewport()->update();
    return QAbstractScrollArea::viewportEvent(event);
}

void PlayerProgramList::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    const auto row = rowAt(event->position());
    if (!row) {
        player_.setSelection(std::nullopt);
        return;
    }
    const Uuid id = player_.tracks()[*row].id;
    player_.setSelection(id);
    pressedTrack_ = id;
    pressPos_ = event->position();
}

void PlayerProgramList::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    if (!reorder_.active() && pressedTrack_ && (event->position() - pressPos_).manhattanLength() >= dragThreshold)
        reorder_.begin(*pressedTrack_);
    if (!reorder_.active()) return;
    // Near the glass's edges the list scrolls, so that a row can travel the whole program.
    const qreal edge = event->position().y();
    if (edge < rowHeight / 2) verticalScrollBar()->setValue(verticalScrollBar()->value() - rowHeight / 2);
    else if (edge > viewport()->height() - rowHeight / 2)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + rowHeight / 2);
    const double y = event->position().y() + verticalScrollBar()->value();
    const auto gap = PlayerReorder::gap(y, rowHeight, player_.tracks().size());
    if (gap_ != gap) {
        gap_ = gap;
        viewport()->update();
    }
}

void PlayerProgramList::mouseReleaseEvent(QMouseEvent* event) {
    pressedTrack_.reset();
    if (!reorder_.active()) return;
    // Near the glass's edges the list scrolls, so that a row can travel the whole program.
    const qreal edge = event->position().y();
    if (edge < rowHeight / 2) verticalScrollBar()->setValue(verticalScrollBar()->value() - rowHeight / 2);
    else if (edge > viewport()->height() - rowHeight / 2)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + rowHeight / 2);
    const double y = event->position().y() + verticalScrollBar()->value();
    const auto move = reorder_.drop(player_.tracks(), PlayerReorder::gap(y, rowHeight, player_.tracks().size()));
    gap_.reset();
    viewport()->update();
    if (move) player_.move(move->fromOffsets, move->toOffset);
}

void PlayerProgramList::cancelDrag() {
    pressedTrack_.reset();
    if (reorder_.active()) {
        reorder_.cancel();
        gap_.reset();
        viewport()->update();
    }
}

void PlayerProgramList::focusOutEvent(QFocusEvent* event) {
    // A popup menu takes focus without ending a drag; anything else loses the release.
    if (event->reason() != Qt::PopupFocusReason) cancelDrag();
    QAbstractScrollArea::focusOutEvent(event);
}

void PlayerProgramList::hideEvent(QHideEvent* event) {
    cancelDrag();
    QAbstractScrollArea::hideEvent(event);
}

void PlayerProgramList::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const auto row = rowAt(event->position());
    if (!row) return;
    const Uuid id = player_.tracks()[*row].id;
    player_.setSelection(id);
    player_.play(id);
}

void PlayerProgramList::removeSelection() {
    if (const auto id = player_.selection()) player_.remove({*id});
}

void PlayerProgramList::keyPressEvent(QKeyEvent* event) {
    const auto& tracks = player_.tracks();
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete: removeSelection(); return;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (tracks.empty()) return;
        std::size_t index = 0;
        const auto selected = std::find_if(tracks.begin(), tracks.end(),
                                           [&](const SourceTrack& t) { return player_.selection() == t.id; });
        if (selected != tracks.end()) {
            index = static_cast<std::size_t>(selected - tracks.begin());
            if (event->key() == Qt::Key_Up && index > 0) --index;
            if (event->key() == Qt::Key_Down && index + 1 < tracks.size()) ++index;
        }
        player_.setSelection(tracks[index].id);
        const QRect row = rowRect(index);
        if (row.top() < 0) verticalScrollBar()->setValue(static_cast<int>(index) * rowHeight);
        else if (row.bottom() > viewport()->height())
            verticalScrollBar()->setValue(static_cast<int>(index + 1) * rowHeight - viewport()->height());
        return;
    }
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

QMenu* PlayerProgramList::rowMenu(const Uuid& id) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Play"), this, [this, id] { player_.play(id); });
    menu->addAction(tr("Remove"), this, [this, id] { player_.remove({id}); });
    return menu;
}

void PlayerProgramList::contextMenuEvent(QContextMenuEvent* event) {
    const auto row = rowAt(viewport()->mapFrom(this, event->pos()));
    if (!row) return;
    rowMenu(player_.tracks()[*row].id)->popup(event->globalPos());
}

bool PlayerProgramList::handleDrop(const QList<QUrl>& urls) {
    const auto files = PlayerDrop::playableFiles(urls);
    player_.add(files);
    return !files.empty();
}

void PlayerProgramList::setDropTargeted(bool targeted) {
    if (dropTargeted_ == targeted) return;
    dropTargeted_ = targeted;
    emit dropTargetedChanged(targeted);
}

void PlayerProgramList::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    setDropTargeted(true);
    event->acceptProposedAction();
}

void PlayerProgramList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PlayerProgramList::dragLeaveEvent(QDragLeaveEvent*) { setDropTargeted(false); }

void PlayerProgramList::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    if (event->mimeData()->hasUrls() && handleDrop(event->mimeData()->urls())) event->acceptProposedAction();
    else event->ignore();
}

}  // namespace norvo
