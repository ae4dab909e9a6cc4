#include "DesignerSegmentedControl.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "CassetteDrawing/HandwritingFont.hpp"

namespace norvo {

DesignerSegmentedControl::DesignerSegmentedControl(QStringList titles, QWidget* parent)
    : QWidget(parent), titles_(std::move(titles)) {
    setFocusPolicy(Qt::StrongFocus);
    setFont(HandwritingFont::system(12, QFont::Medium));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DesignerSegmentedControl::setCurrentIndex(int index) {
    if (index < 0 || index >= titles_.size() || index == current_) return;
    current_ = index;
    update();
}

QSize DesignerSegmentedControl::sizeHint() const {
    int width = 0;
    for (const QString& title : titles_) width += fontMetrics().horizontalAdvance(title) + 24;
    return {width + 4, 24};
}

QRect DesignerSegmentedControl::segmentRect(int index) const {
    const int n = std::max<int>(1, int(titles_.size()));
    const double w = (width() - 4) / double(n);
    return QRect(int(2 + index * w), 2, int(2 + (index + 1) * w) - int(2 + index * w), height() - 4);
}

void DesignerSegmentedControl::choose(int index) {
    if (index < 0 || index >= titles_.size() || index == current_) return;
    current_ = index;
    update();
    emit chosen(index);
}

void DesignerSegmentedControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    for (int i = 0; i < titles_.size(); ++i)
        if (segmentRect(i).contains(event->position().toPoint())) choose(i);
}

void DesignerSegmentedControl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left: choose(current_ - 1); break;
    case Qt::Key_Right: choose(current_ + 1); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void DesignerSegmentedControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath track;
    track.addRoundedRect(frame, 6, 6);
    QColor trackColor = palette().color(QPalette::WindowText);
    trackColor.setAlphaF(0.08f);
    p.fillPath(track, trackColor);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawPath(track);
    }

    QColor divider = palette().color(QPalette::WindowText);
    divider.setAlphaF(0.15f);
    for (int i = 0; i < titles_.size(); ++i) {
        const QRectF r = segmentRect(i);
        if (i == current_) {
            QPainterPath chosenPath;
            chosenPath.addRoundedRect(r, 5, 5);
            p.fillPath(chosenPath.translated(0, 0.5), QColor(0, 0, 0, 30));
            p.fillPath(chosenPath, palette().color(QPalette::Base));
        } else if (i > 0 && i - 1 != current_) {
            p.setPen(QPen(divider, 1));
            p.drawLine(QPointF(r.left(), r.top() + 4), QPointF(r.left(), r.bottom() - 4));
        }
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignCenter, titles_[i]);
    }
}

}  // namespace norvo
