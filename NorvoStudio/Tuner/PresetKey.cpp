#include "Tuner/PresetKey.hpp"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "Kit/KeyCap.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/LED.hpp"
#include "StudioModel/ShownText.hpp"
#include "Tuner/PlainToolTip.hpp"

namespace norvo {

namespace {

constexpr qreal stackSpacing = 4;
constexpr qreal lampSize = 5;
QFont nameFont() { return KitFont::system(7, QFont::Medium); }
QFont numberFont() { return KitFont::system(12, QFont::Bold, KitFont::Width::expanded); }
const QMargins margins = KeyCap::widgetMargins();

}  // namespace

PresetKey::PresetKey(int number, MainExecutor& executor, Haptics& haptics, QWidget* parent)
    : QWidget(parent),
      number_(number),
      haptics_(haptics),
      hold_(
          executor,
          [this] {
              update();
              if (onTap) onTap();
          },
          [this] {
              haptics_.levelChange();
              if (onHold) onHold();
          }) {
    resize(sizeHint());
    refreshHelp();
}

void PresetKey::setStation(std::optional<RadioStation> station) {
    if (station == station_) return;
    station_ = std::move(station);
    refreshHelp();
    update();
}

void PresetKey::setCurrent(bool current) {
    if (current == current_) return;
    current_ = current;
    update();
}

void PresetKey::setMemoryArmed(bool armed) {
    if (armed == memoryArmed_) return;
    memoryArmed_ = armed;
    update();
}

QString PresetKey::help() const {
    const QString n = QString::number(number_);
    if (!station_) return QStringLiteral("P%1 is empty \u2014 hold to store the current station").arg(n);
    return QStringLiteral("P") + n + QStringLiteral(": ") + ShownText::isolated(station_->name) +
           QStringLiteral(" \u2014 click to tune, hold to store the current station");
}

void PresetKey::refreshHelp() { setToolTip(plainToolTip(help())); }

std::unique_ptr<QMenu> PresetKey::contextMenu() {
    auto menu = std::make_unique<QMenu>();
    const QString n = QString::number(number_);
    // Straight to the action: no timer, no haptic tap.
    connect(menu->addAction(QStringLiteral("Store Current Station in P") + n), &QAction::triggered, this, [this] {
        if (onHold) onHold();
    });
    QAction* clear = menu->addAction(QStringLiteral("Clear P") + n);
    clear->setEnabled(station_.has_value());
    connect(clear, &QAction::triggered, this, [this] {
        if (onClear) onClear();
    });
    return menu;
}

QSizeF PresetKey::layoutSize() {
    return {layoutWidth, lampSize + stackSpacing + keyHeight + stackSpacing + QFontMetricsF(nameFont()).height()};
}

QRectF PresetKey::layoutRect() const { return QRectF(QPointF(margins.left(), margins.top()), layoutSize()); }

QRectF PresetKey::keyRect() const {
    const QRectF layout = layoutRect();
    return QRectF(layout.center().x() - keyWidth / 2, layout.top() + lampSize + stackSpacing, keyWidth, keyHeight);
}

void PresetKey::setLayoutGeometry(const QRect& layout) {
    setGeometry(layout.adjusted(-margins.left(), -margins.top(), margins.right(), margins.bottom()));
}

QSize PresetKey::sizeHint() const {
    return (layoutSize() + QSizeF(margins.left() + margins.right(), margins.top() + margins.bottom())).toSize();
}

void PresetKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const Shown shown{current_, memoryArmed_, hold_.held(), station_.has_value(),
                      station_ ? ShownText::plain(station_->name) : QStringLiteral("\u2014")};
    picture_.paint(painter, QRectF(rect()), shown, [&](QPainter& p) {
        const QRectF layout = layoutRect();
        LED{shown.current, KitColor::amber, lampSize}.paintCentred(p, QPointF(layout.center().x(),
                                                                              layout.top() + lampSize / 2));

        KeyLabel label = KeyLabel::caption(QString::number(number_));
        label.font = numberFont();
        const std::optional<QColor> accent = shown.memoryArmed ? std::optional<QColor>(KitColor::amber) : std::nullopt;
        KeyCap{shown.held, accent, keyWidth, keyHeight, label}.paint(p, keyRect().topLeft());

        const QFont font = nameFont();
        const QFontMetricsF metrics(font);
        const QRectF nameBox(layout.left(), keyRect().bottom() + stackSpacing, layoutWidth, metrics.height());
        p.setFont(font);
        p.setPen(shown.stored ? KitColor::white(0.62) : KitColor::white(0.3));
        p.drawText(nameBox, Qt::AlignCenter, metrics.elidedText(shown.name, Qt::ElideRight, layoutWidth));
    });
}

void PresetKey::mousePressEvent(QMouseEvent* event) {
    // Only the left button presses; the right one opens the menu.
    if (event->button() != Qt::LeftButton || !keyRect().contains(event->position())) {
        event->ignore();
        return;
    }
    hold_.press();
    update();
}

void PresetKey::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    hold_.release();
    update();
}

void PresetKey::contextMenuEvent(QContextMenuEvent* event) {
    auto menu = contextMenu();
    menu->exec(event->globalPos());
}

void PresetKey::hideEvent(QHideEvent*) { hold_.cancel(); }

void PresetKey::changeEvent(QEvent* event) {
    // The window lost the pointer: the press ends without a release.
    if ((event->type() == QEvent::ActivationChange && !isActiveWindow()) ||
        (event->type() == QEvent::EnabledChange && !isEnabled())) {
        hold_.cancel();
        update();
    }
    QWidget::changeEvent(event);
}

}  // namespace norvo
